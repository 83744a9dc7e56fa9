#include "services/language_rules.h"

#include <QtTest>

using namespace language_rules;

class TestLanguageRules : public QObject {
    Q_OBJECT
private slots:
    void languageNormalisation_data();
    void languageNormalisation();
    void themeNormalisation_data();
    void themeNormalisation();
    void fontForThemeOnlyLightSelectsTheLightFont_data();
    void fontForThemeOnlyLightSelectsTheLightFont();
    void cataloguePerLanguage();
    void restartArgumentsDropOnlyTheProgramPath_data();
    void restartArgumentsDropOnlyTheProgramPath();
};

void TestLanguageRules::languageNormalisation_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("en") << "en"
                        << "en";
    QTest::newRow("cn") << "cn"
                        << "cn";
    QTest::newRow("missing") << QString() << "cn";
    QTest::newRow("upper case EN") << "EN"
                                   << "cn";
    QTest::newRow("padded") << " en"
                            << "cn";
    QTest::newRow("other language") << "fr"
                                    << "cn";
    QTest::newRow("english spelled out") << "english"
                                         << "cn";
}

void TestLanguageRules::languageNormalisation()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QCOMPARE(normalizedLanguage(stored), expected);
}

void TestLanguageRules::themeNormalisation_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dark") << "dark" << true << "dark";
    QTest::newRow("light") << "light" << true << "light";
    QTest::newRow("capital L") << "Light" << false << "dark";
    QTest::newRow("upper case") << "DARK" << false << "dark";
    QTest::newRow("missing") << QString() << false << "dark";
    QTest::newRow("unknown") << "blue" << false << "dark";
    QTest::newRow("trailing space") << "light " << false << "dark";
}

void TestLanguageRules::themeNormalisation()
{
    QFETCH(QString, stored);
    QFETCH(bool, valid);
    QFETCH(QString, expected);
    QCOMPARE(isValidTheme(stored), valid);
    QCOMPARE(normalizedTheme(stored), expected);
}

void TestLanguageRules::fontForThemeOnlyLightSelectsTheLightFont_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("font");
    QTest::newRow("light") << "light"
                           << ":/res/YouSheHaoShenTi.ttf";
    QTest::newRow("dark") << "dark"
                          << ":/res/MiSans-Regular.ttf";
    QTest::newRow("empty") << QString() << ":/res/MiSans-Regular.ttf";
    QTest::newRow("capital L") << "Light"
                               << ":/res/MiSans-Regular.ttf";
    QTest::newRow("unknown") << "blue"
                             << ":/res/MiSans-Regular.ttf";
}

void TestLanguageRules::fontForThemeOnlyLightSelectsTheLightFont()
{
    QFETCH(QString, theme);
    QFETCH(QString, font);
    QCOMPARE(fontForTheme(theme), font);
}

void TestLanguageRules::cataloguePerLanguage()
{
    QCOMPARE(catalogueForLanguage("en"), QStringLiteral(":/Orrindel_en.qm"));
    QCOMPARE(catalogueForLanguage("cn"), QStringLiteral(":/Orrindel_cn.qm"));
}

void TestLanguageRules::restartArgumentsDropOnlyTheProgramPath_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("program only") << QStringList{"/opt/orrindel"} << QStringList{};
    QTest::newRow("with arguments")
        << QStringList{"/opt/orrindel", "-x", "two words"} << QStringList{"-x", "two words"};
    QTest::newRow("argument equal to the path")
        << QStringList{"/opt/orrindel", "/opt/orrindel"} << QStringList{"/opt/orrindel"};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestLanguageRules::restartArgumentsDropOnlyTheProgramPath()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QCOMPARE(restartArguments(arguments), expected);
}

QTEST_APPLESS_MAIN(TestLanguageRules)
#include "tst_language_rules.moc"
