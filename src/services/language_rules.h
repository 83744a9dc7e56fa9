#pragma once

#include <QString>
#include <QStringList>

// The rules of the language/theme service that need no Qt application: what
// the stored texts mean and which resource belongs to which choice.
namespace language_rules {

inline const QString kSettingsPath = QStringLiteral("./config.ini");
inline const QString kLanguageKey = QStringLiteral("language");
inline const QString kThemeKey = QStringLiteral("theme");

inline const QString kChinese = QStringLiteral("cn");
inline const QString kEnglish = QStringLiteral("en");
inline const QString kDark = QStringLiteral("dark");
inline const QString kLight = QStringLiteral("light");

inline const QString kChineseCatalogue = QStringLiteral(":/Orrindel_cn.qm");
inline const QString kEnglishCatalogue = QStringLiteral(":/Orrindel_en.qm");
inline const QString kLightFont = QStringLiteral(":/res/YouSheHaoShenTi.ttf");
inline const QString kDefaultFont = QStringLiteral(":/res/MiSans-Regular.ttf");

// Exactly "en" is English; anything else (missing, "EN", "english") is Chinese.
QString normalizedLanguage(const QString &stored);

// Exactly "dark" or "light" is kept; anything else counts as "dark".
bool isValidTheme(const QString &stored);
QString normalizedTheme(const QString &stored);

QString catalogueForLanguage(const QString &code);
QString fontForTheme(const QString &themeName);

// The option with which a restarted copy is told to reopen the port the
// earlier copy had open. Only ever on a restart's command line, never stored:
// a later start by hand begins disconnected.
inline const QString kReopenPortOption = QStringLiteral("--reopen-port");

// The arguments for a restarted copy: the program path that arguments()
// reports first is supplied by the process start itself. An earlier copy's
// port option is dropped; reopenPort, when not empty, is passed on instead.
QStringList restartArguments(const QStringList &applicationArguments,
                             const QString &reopenPort = QString());

// The port named by the last complete port option in the arguments, or an
// empty text.
QString portToReopen(const QStringList &applicationArguments);

} // namespace language_rules
