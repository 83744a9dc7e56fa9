// The resources that other parts of the program refer to by path.

#include "resources.h"

#include <QFile>
#include <QFontDatabase>
#include <QRawFont>
#include <QtTest>

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initResources(); }
    void documents();
    void icons_data();
    void icons();
    void fontsCoverChineseAndLatin_data();
    void fontsCoverChineseAndLatin();
    void fontsAreDistinctFamilies();
    void fontLicencesTravelWithTheFonts();
};

void TestResources::documents()
{
    QVERIFY(QFile::exists(":/main.qml"));
    QFile qmldir(":/qml/qmldir");
    QVERIFY(qmldir.open(QIODevice::ReadOnly));
    QCOMPARE(qmldir.readAll().trimmed(), QByteArray("singleton Public 1.0 Public.qml"));
    QVERIFY(QFile::exists(":/qml/Public.qml"));
}

void TestResources::icons_data()
{
    QTest::addColumn<QString>("path");
    const char *const icons[] = {"baocun",
                                 "shuaxin",
                                 "clear",
                                 "suoding",
                                 "qiehuan",
                                 "daoru",
                                 "daochu",
                                 "chixu",
                                 "card_icon/devConnect",
                                 "card_icon/other",
                                 "card_icon/advanced",
                                 "card_icon/devInfo",
                                 "card_icon/intControl",
                                 "card_icon/alarm",
                                 "card_icon/lightIntensity",
                                 "card_icon/temp",
                                 "card_icon/current",
                                 "card_icon/power"};
    for (const char *icon : icons)
        QTest::newRow(icon) << QStringLiteral(":/res/icons/%1.svg").arg(icon);
}

void TestResources::icons()
{
    QFETCH(QString, path);
    QFile icon(path);
    QVERIFY2(icon.open(QIODevice::ReadOnly), qPrintable(path));
    QVERIFY(icon.readAll().startsWith("<svg"));
}

void TestResources::fontsCoverChineseAndLatin_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("MiSans") << ":/res/MiSans-Regular.ttf";
    QTest::newRow("YouSheHaoShenTi") << ":/res/YouSheHaoShenTi.ttf";
}

void TestResources::fontsCoverChineseAndLatin()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont font(file.readAll(), 16);
    QVERIFY(font.isValid());
    for (const QChar ch : QStringLiteral("AZaz09%:.(),~设备连接报警温度℃"))
        QVERIFY2(font.supportsCharacter(ch), qPrintable(QString(ch)));
}

void TestResources::fontsAreDistinctFamilies()
{
    const QStringList standard = QFontDatabase::applicationFontFamilies(
        QFontDatabase::addApplicationFont(":/res/MiSans-Regular.ttf"));
    const QStringList light = QFontDatabase::applicationFontFamilies(
        QFontDatabase::addApplicationFont(":/res/YouSheHaoShenTi.ttf"));
    QCOMPARE(standard.size(), 1);
    QCOMPARE(light.size(), 1);
    QVERIFY(standard.first() != light.first());
}

void TestResources::fontLicencesTravelWithTheFonts()
{
    QFile copyright(":/res/licenses/fonts-copyright.txt");
    QVERIFY(copyright.open(QIODevice::ReadOnly));
    QVERIFY(copyright.readAll().contains("Apache"));
    QFile apache(":/res/licenses/Apache-2.0.txt");
    QVERIFY(apache.open(QIODevice::ReadOnly));
    QVERIFY(apache.readAll().contains("Apache License"));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
