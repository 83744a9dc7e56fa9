#include "language_rules.h"

namespace language_rules {

QString normalizedLanguage(const QString &stored)
{
    return stored == kEnglish ? kEnglish : kChinese;
}

bool isValidTheme(const QString &stored)
{
    return stored == kDark || stored == kLight;
}

QString normalizedTheme(const QString &stored)
{
    return isValidTheme(stored) ? stored : kDark;
}

QString catalogueForLanguage(const QString &code)
{
    return code == kEnglish ? kEnglishCatalogue : kChineseCatalogue;
}

QString fontForTheme(const QString &themeName)
{
    return themeName == kLight ? kLightFont : kDefaultFont;
}

QStringList restartArguments(const QStringList &applicationArguments, const QString &reopenPort)
{
    QStringList arguments;
    for (int i = 1; i < applicationArguments.size(); ++i) {
        if (applicationArguments[i] == kReopenPortOption)
            ++i; // and its value
        else
            arguments.append(applicationArguments[i]);
    }
    if (!reopenPort.isEmpty())
        arguments << kReopenPortOption << reopenPort;
    return arguments;
}

QString portToReopen(const QStringList &applicationArguments)
{
    QString port;
    for (int i = 1; i + 1 < applicationArguments.size(); ++i) {
        if (applicationArguments[i] == kReopenPortOption)
            port = applicationArguments[++i];
    }
    return port;
}

} // namespace language_rules
