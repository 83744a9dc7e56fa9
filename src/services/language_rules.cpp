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

QStringList restartArguments(const QStringList &applicationArguments)
{
    return applicationArguments.mid(1);
}

} // namespace language_rules
