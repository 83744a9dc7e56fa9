#include "services/language.h"
#include "services/language_rules.h"
#include "services_test_support.h"

#include "resources.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QtTest>

namespace {

QString familyOf(const QString &fontResource)
{
    return QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(fontResource))
        .value(0);
}

QString stored(const ScopedWorkDir &dir, const char *key)
{
    return QSettings(dir.path("config.ini"), QSettings::IniFormat).value(key).toString();
}

QString sidebarText()
{
    return QCoreApplication::translate("Sidebar", "设备连接");
}

void addRow(const char *name, const char *file, const char *language, const char *theme)
{
    QTest::newRow(name) << QByteArray(file) << QString(language) << QString(theme);
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startupNormalisesAndStoresSettings_data();
    void startupNormalisesAndStoresSettings();
    void getNowLanguageNeverWrites();
    void getThemeWritesOnlyInvalidValues_data();
    void getThemeWritesOnlyInvalidValues();
    void languageSwitchReevaluatesBindingsBeforeReturning();
    void restartCarriesOnlyThePortBeingReopened_data();
    void restartCarriesOnlyThePortBeingReopened();

private:
    QString defaultFamily;
    QString lightFamily;
};

void TestLanguage::initTestCase()
{
    initResources();
    defaultFamily = familyOf(":/res/MiSans-Regular.ttf");
    lightFamily = familyOf(":/res/YouSheHaoShenTi.ttf");
    QVERIFY(!defaultFamily.isEmpty() && !lightFamily.isEmpty());
    QVERIFY(defaultFamily != lightFamily);
}

void TestLanguage::startupNormalisesAndStoresSettings_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no settings file
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("theme");
    addRow("no file", "", "cn", "dark");
    addRow("english, light", "[General]\nlanguage=en\ntheme=light\n", "en", "light");
    addRow("EN, Light", "[General]\nlanguage=EN\ntheme=Light\n", "cn", "dark");
    addRow("other texts", "[General]\nlanguage=fr\ntheme=blue\n", "cn", "dark");
    addRow("padded, upper case", "[General]\nlanguage=\" en\"\ntheme=DARK\n", "cn", "dark");
    addRow("language only", "[General]\nlanguage=en\n", "en", "dark");
    addRow("theme only", "[General]\ntheme=light\n", "cn", "light");
}

void TestLanguage::startupNormalisesAndStoresSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, language);
    QFETCH(QString, theme);

    ScopedWorkDir dir;
    if (!file.isEmpty())
        QVERIFY(dir.write("config.ini", file));
    QQmlApplicationEngine engine;
    Language::applySavedSettings(&engine);

    QCOMPARE(stored(dir, "language"), language);
    QCOMPARE(stored(dir, "theme"), theme);
    QCOMPARE(QGuiApplication::font().family(), theme == "light" ? lightFamily : defaultFamily);
    QCOMPARE(sidebarText(), QString(language == "en" ? "DeviceConnect" : "设备连接"));
    QCOMPARE(Language::getInstance()->getNowLanguage(), language);
    QCOMPARE(Language::getInstance()->getTheme(), theme);
}

void TestLanguage::getNowLanguageNeverWrites()
{
    Language *language = Language::getInstance();
    {
        ScopedWorkDir dir;
        QCOMPARE(language->getNowLanguage(), QString());
        QVERIFY(!dir.exists("config.ini"));
    }
    ScopedWorkDir dir;
    const QByteArray file("[General]\nlanguage=EN\ntheme=Light\n");
    QVERIFY(dir.write("config.ini", file));
    QCOMPARE(language->getNowLanguage(), QStringLiteral("EN"));
    QCOMPARE(dir.read("config.ini"), file);
}

void TestLanguage::getThemeWritesOnlyInvalidValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("light kept") << QByteArray("[General]\ntheme=light\n") << "light" << false;
    // Unsorted keys: any rewrite would reorder them.
    QTest::newRow("dark kept") << QByteArray("[General]\ntheme=dark\nlanguage=x\n") << "dark"
                               << false;
    QTest::newRow("capital L") << QByteArray("[General]\ntheme=Light\n") << "dark" << true;
    QTest::newRow("unknown") << QByteArray("[General]\ntheme=blue\n") << "dark" << true;
    QTest::newRow("key missing") << QByteArray("[General]\nlanguage=en\n") << "dark" << true;
    QTest::newRow("no file") << QByteArray() << "dark" << true;
}

void TestLanguage::getThemeWritesOnlyInvalidValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, theme);
    QFETCH(bool, rewritten);

    ScopedWorkDir dir;
    if (!file.isEmpty())
        QVERIFY(dir.write("config.ini", file));
    QCOMPARE(Language::getInstance()->getTheme(), theme);
    if (!rewritten) {
        QCOMPARE(dir.read("config.ini"), file);
        return;
    }
    QCOMPARE(stored(dir, "theme"), QStringLiteral("dark"));
    if (file.contains("language=en"))
        QCOMPARE(stored(dir, "language"), QStringLiteral("en"));
}

void TestLanguage::languageSwitchReevaluatesBindingsBeforeReturning()
{
    ScopedWorkDir dir;
    QQmlApplicationEngine engine;
    Language::applySavedSettings(&engine);
    engine.loadData("import QtQuick 2.15\n"
                    "QtObject { property string label: qsTranslate(\"Sidebar\", \"设备连接\") }");
    QCOMPARE(engine.rootObjects().size(), 1);
    QObject *root = engine.rootObjects().first();
    QCOMPARE(root->property("label").toString(), QStringLiteral("设备连接"));

    // No event processing in between: each switch is complete on return.
    Language *language = Language::getInstance();
    QByteArray afterOnce;
    for (int round = 0; round < 2; ++round) {
        language->loadEnglish();
        QCOMPARE(root->property("label").toString(), QStringLiteral("DeviceConnect"));
        QCOMPARE(language->getNowLanguage(), QStringLiteral("en"));
        QCOMPARE(QCoreApplication::translate("Sidebar", "刷新"), QStringLiteral("Refresh"));
        if (round == 0)
            afterOnce = dir.read("config.ini");
        QCOMPARE(dir.read("config.ini"), afterOnce);
    }

    language->loadChinese();
    QCOMPARE(root->property("label").toString(), QStringLiteral("设备连接"));
    QCOMPARE(language->getNowLanguage(), QStringLiteral("cn"));
    QCOMPARE(QCoreApplication::translate("Sidebar", "刷新"), QStringLiteral("刷新"));
}

// A restarted copy gets the earlier copy's own arguments unchanged, and the
// port option only for the port open at this restart: never one inherited
// from an earlier restart, never one that lacks its value.
void TestLanguage::restartCarriesOnlyThePortBeingReopened_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("restart");
    QTest::addColumn<QString>("reopenedByThisCopy");
    const QString opt = language_rules::kReopenPortOption;
    QTest::newRow("no port, no option") << QStringList{"prog", "-x", "two words"} << QString()
                                        << QStringList{"-x", "two words"} << QString();
    QTest::newRow("port added") << QStringList{"prog", "-x"} << "/dev/pts/3"
                                << QStringList{"-x", opt, "/dev/pts/3"} << QString();
    QTest::newRow("earlier port replaced")
        << QStringList{"prog", opt, "/dev/pts/3", "-x"} << "/dev/pts/7"
        << QStringList{"-x", opt, "/dev/pts/7"} << "/dev/pts/3";
    QTest::newRow("earlier port dropped when closed")
        << QStringList{"prog", "-x", opt, "COM3"} << QString() << QStringList{"-x"} << "COM3";
    QTest::newRow("option without its value")
        << QStringList{"prog", "-x", opt} << QString() << QStringList{"-x"} << QString();
    QTest::newRow("only the program")
        << QStringList{"prog"} << QString() << QStringList{} << QString();
    // The plant feed's options hold for the run, the restarted copy included.
    QTest::newRow("feed options go along")
        << QStringList{"prog", "--feed",    "mqtt://10.0.0.5:1883", "--feed-id", "l3",
                       opt,    "/dev/pts/3"}
        << "/dev/pts/3"
        << QStringList{"--feed", "mqtt://10.0.0.5:1883", "--feed-id", "l3", opt, "/dev/pts/3"}
        << "/dev/pts/3";
}

void TestLanguage::restartCarriesOnlyThePortBeingReopened()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, port);
    QFETCH(QStringList, restart);
    QFETCH(QString, reopenedByThisCopy);
    QCOMPARE(language_rules::restartArguments(arguments, port), restart);
    QCOMPARE(language_rules::portToReopen(arguments), reopenedByThisCopy);
    // What this copy passes on is what the next copy reads back.
    QCOMPARE(language_rules::portToReopen(QStringList{"prog"} + restart), port);
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
