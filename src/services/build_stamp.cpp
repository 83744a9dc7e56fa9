#include "build_stamp.h"

#include <QDateTime>
#include <QLocale>

QString buildStampFrom(const QString &compilerDate, const QString &compilerTime)
{
    QString text = compilerDate + compilerTime;
    // __DATE__ pads a one-digit day with a space; the format wants a zero.
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    const QLocale english(QLocale::English, QLocale::AnyCountry);
    const QDateTime stamp = english.toDateTime(text, QStringLiteral("MMM dd yyyyhh:mm:ss"));
    if (!stamp.isValid())
        return QString();
    return stamp.toString(QStringLiteral("yyMMdd-hh:mm:ss"));
}
