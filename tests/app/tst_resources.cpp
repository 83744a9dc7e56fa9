// The resources that other parts of the program refer to by path.

#include "resources.h"

#include <QFile>
#include <QFontDatabase>
#include <QRawFont>
#include <QtTest>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initResources(); }
    void iconsAreSvg();
    void fontsAreDistinctAndCoverChineseAndLatin();
    void fontLicencesTravelWithTheFonts();
};

void TestResources::iconsAreSvg()
{
    for (const char *icon :
         {"baocun", "shuaxin", "clear", "suoding", "qiehuan", "daoru", "daochu", "chixu",
          "card_icon/devConnect", "card_icon/other", "card_icon/advanced", "card_icon/devInfo",
          "card_icon/intControl", "card_icon/alarm", "card_icon/lightIntensity", "card_icon/temp",
          "card_icon/current", "card_icon/power"})
        QVERIFY2(contentOf(QStringLiteral(":/res/icons/%1.svg").arg(icon)).startsWith("<svg"),
                 icon);
}

void TestResources::fontsAreDistinctAndCoverChineseAndLatin()
{
    QStringList families;
    for (const QString path : {":/res/MiSans-Regular.ttf", ":/res/YouSheHaoShenTi.ttf"}) {
        const QRawFont font(contentOf(path), 16);
        QVERIFY2(font.isValid(), qPrintable(path));
        for (const QChar ch : QStringLiteral("AZaz09%:.(),~设备连接报警温度℃"))
            QVERIFY2(font.supportsCharacter(ch), qPrintable(path + ": " + ch));
        const QStringList faces =
            QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(path));
        QCOMPARE(faces.size(), 1);
        families += faces;
    }
    QVERIFY(families[0] != families[1]);
}

void TestResources::fontLicencesTravelWithTheFonts()
{
    QVERIFY(contentOf(":/res/licenses/fonts-copyright.txt").contains("Apache"));
    QVERIFY(contentOf(":/res/licenses/Apache-2.0.txt").contains("Apache License"));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
