#include "services/language.h"
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
    const QStringList families =
        QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(fontResource));
    return families.value(0);
}

QString stored(const ScopedWorkDir &dir, const QString &key)
{
    QSettings settings(dir.filePath("config.ini"), QSettings::IniFormat);
    return settings.value(key).toString();
}

const char *const kBindingDocument = R"(
import QtQuick 2.15
QtObject { property string label: qsTranslate("Sidebar", "设备连接") }
)";

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startupWithoutSettingsFile();
    void startupNormalisesStoredValues_data();
    void startupNormalisesStoredValues();
    void getNowLanguageNeverWrites();
    void getThemeWritesOnlyInvalidValues_data();
    void getThemeWritesOnlyInvalidValues();
    void setFontTakesTheLightFontOnlyForLight();
    void languageSwitchReevaluatesBindingsBeforeReturning();

private:
    QString defaultFamily;
    QString lightFamily;
};

void TestLanguage::initTestCase()
{
    initResources();
    defaultFamily = familyOf(":/res/MiSans-Regular.ttf");
    lightFamily = familyOf(":/res/YouSheHaoShenTi.ttf");
    QVERIFY(!defaultFamily.isEmpty());
    QVERIFY(!lightFamily.isEmpty());
    QVERIFY(defaultFamily != lightFamily);
}

void TestLanguage::startupWithoutSettingsFile()
{
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QQmlApplicationEngine engine;
    Language::applySavedSettings(&engine);

    QVERIFY(dir.exists("config.ini"));
    QCOMPARE(stored(dir, "language"), QStringLiteral("cn"));
    QCOMPARE(stored(dir, "theme"), QStringLiteral("dark"));
    QCOMPARE(QGuiApplication::font().family(), defaultFamily);
    QCOMPARE(QCoreApplication::translate("Sidebar", "设备连接"), QStringLiteral("设备连接"));
    QCOMPARE(Language::getInstance()->getNowLanguage(), QStringLiteral("cn"));
}

void TestLanguage::startupNormalisesStoredValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("translated");

    QTest::newRow("english, light") << QByteArray("[General]\nlanguage=en\ntheme=light\n") << "en"
                                    << "light"
                                    << "DeviceConnect";
    QTest::newRow("upper case EN, capital Light")
        << QByteArray("[General]\nlanguage=EN\ntheme=Light\n") << "cn"
        << "dark"
        << "设备连接";
    QTest::newRow("unknown texts") << QByteArray("[General]\nlanguage=fr\ntheme=blue\n") << "cn"
                                   << "dark"
                                   << "设备连接";
    QTest::newRow("language only") << QByteArray("[General]\nlanguage=en\n") << "en"
                                   << "dark"
                                   << "DeviceConnect";
    QTest::newRow("theme only") << QByteArray("[General]\ntheme=light\n") << "cn"
                                << "light"
                                << "设备连接";
}

void TestLanguage::startupNormalisesStoredValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, language);
    QFETCH(QString, theme);
    QFETCH(QString, translated);

    ScopedWorkDir dir;
    QVERIFY(dir.write("config.ini", file));
    QQmlApplicationEngine engine;
    Language::applySavedSettings(&engine);

    QCOMPARE(stored(dir, "language"), language);
    QCOMPARE(stored(dir, "theme"), theme);
    QCOMPARE(QGuiApplication::font().family(), theme == "light" ? lightFamily : defaultFamily);
    QCOMPARE(QCoreApplication::translate("Sidebar", "设备连接"), translated);
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
    {
        ScopedWorkDir dir;
        const QByteArray file("[General]\nlanguage=EN\ntheme=Light\n");
        QVERIFY(dir.write("config.ini", file));
        QCOMPARE(language->getNowLanguage(), QStringLiteral("EN"));
        QCOMPARE(dir.read("config.ini"), file);
    }
}

void TestLanguage::getThemeWritesOnlyInvalidValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("light kept") << QByteArray("[General]\ntheme=light\n") << "light" << false;
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
    if (rewritten) {
        QCOMPARE(stored(dir, "theme"), QStringLiteral("dark"));
        if (file.contains("language=en"))
            QCOMPARE(stored(dir, "language"), QStringLiteral("en"));
    } else {
        QCOMPARE(dir.read("config.ini"), file);
    }
}

void TestLanguage::setFontTakesTheLightFontOnlyForLight()
{
    Language *language = Language::getInstance();
    language->setFont("light");
    QCOMPARE(QGuiApplication::font().family(), lightFamily);
    for (const QString &name :
         {QStringLiteral("dark"), QString(), QStringLiteral("Light"), QStringLiteral("blue")}) {
        language->setFont("light");
        language->setFont(name);
        QCOMPARE(QGuiApplication::font().family(), defaultFamily);
    }
}

void TestLanguage::languageSwitchReevaluatesBindingsBeforeReturning()
{
    ScopedWorkDir dir;
    QQmlApplicationEngine engine;
    Language::applySavedSettings(&engine);
    engine.loadData(kBindingDocument);
    QCOMPARE(engine.rootObjects().size(), 1);
    QObject *root = engine.rootObjects().first();
    QCOMPARE(root->property("label").toString(), QStringLiteral("设备连接"));

    Language *language = Language::getInstance();
    language->loadEnglish();
    // No event processing in between: the switch is complete on return.
    QCOMPARE(root->property("label").toString(), QStringLiteral("DeviceConnect"));
    QCOMPARE(language->getNowLanguage(), QStringLiteral("en"));
    const QByteArray afterOnce = dir.read("config.ini");

    language->loadEnglish();
    QCOMPARE(root->property("label").toString(), QStringLiteral("DeviceConnect"));
    QCOMPARE(language->getNowLanguage(), QStringLiteral("en"));
    QCOMPARE(dir.read("config.ini"), afterOnce);
    QCOMPARE(QCoreApplication::translate("Sidebar", "刷新"), QStringLiteral("Refresh"));

    language->loadChinese();
    QCOMPARE(root->property("label").toString(), QStringLiteral("设备连接"));
    QCOMPARE(language->getNowLanguage(), QStringLiteral("cn"));
    QCOMPARE(QCoreApplication::translate("Sidebar", "刷新"), QStringLiteral("刷新"));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
