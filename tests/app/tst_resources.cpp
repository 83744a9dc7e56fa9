// The resources that other parts of the program refer to by path.

#include "resources.h"

#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every character of the texts (sources and translations) of a catalogue.
QString charactersOfCatalogue(const QString &path)
{
    QString characters;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return characters;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            (xml.name() == QLatin1String("source") || xml.name() == QLatin1String("translation") ||
             xml.name() == QLatin1String("numerusform")))
            characters += xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return characters;
}

// Whether drawing text in font leaves any mark on a white image.
bool drawsInk(const QFont &font, const QString &text)
{
    QImage image(96, 96, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qGray(line[x]) < 128)
                return true;
    }
    return false;
}

// The unit and symbol characters that the documents show besides the texts
// of the catalogues (values such as "21.4℃", "50%", "1~5", "Rh", "µA").
const QString kSymbols = QStringLiteral("℃°%~µ·→±×√-><=+/:.,()[]");

} // namespace

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initResources(); }
    void iconsAreSvg();
    void fontsAreDistinctAndCoverChineseAndLatin();
    void fontsDrawEveryCharacterTheInterfaceShows_data();
    void fontsDrawEveryCharacterTheInterfaceShows();
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

void TestResources::fontsDrawEveryCharacterTheInterfaceShows_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("MiSans-Regular") << QStringLiteral(":/res/MiSans-Regular.ttf");
    QTest::newRow("YouSheHaoShenTi") << QStringLiteral(":/res/YouSheHaoShenTi.ttf");
}

// A face that maps a character to an empty glyph hides it: the text engine
// takes the face at its word and falls back to no other font, so "21.4℃"
// shows as "21.4". Every character must have an outline and leave ink at
// the weights the documents use (value boxes draw Font.Black).
void TestResources::fontsDrawEveryCharacterTheInterfaceShows()
{
    QFETCH(QString, path);
    QString characters = kSymbols;
    characters += QStringLiteral("AZaz09Rh");
    for (const char *catalogue :
         {"../../translations/Orrindel_cn.ts", "../../translations/Orrindel_en.ts"}) {
        const QString file = QFINDTESTDATA(catalogue);
        QVERIFY2(!file.isEmpty(), catalogue);
        const QString texts = charactersOfCatalogue(file);
        QVERIFY2(texts.contains(QStringLiteral("温度")), catalogue);
        characters += texts;
    }

    const QByteArray data = contentOf(path);
    const QRawFont raw(data, 48);
    QVERIFY2(raw.isValid(), qPrintable(path));
    const QStringList families =
        QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFontFromData(data));
    QCOMPARE(families.size(), 1);

    QSet<uint> seen;
    for (const uint code : characters.toUcs4()) {
        const QString ch = QString::fromUcs4(&code, 1);
        if (seen.contains(code) || ch.trimmed().isEmpty() ||
            QChar::category(code) == QChar::Other_Format)
            continue;
        seen.insert(code);
        const QString where =
            QStringLiteral("%1: U+%2 %3").arg(path).arg(code, 4, 16, QLatin1Char('0')).arg(ch);
        const QVector<quint32> glyphs = raw.glyphIndexesForString(ch);
        QVERIFY2(glyphs.size() == 1 && glyphs.first() != 0,
                 qPrintable(where + " is not in the face"));
        QVERIFY2(!raw.pathForGlyph(glyphs.first()).isEmpty(),
                 qPrintable(where + " has an empty glyph"));
        for (const int weight : {int(QFont::Normal), int(QFont::Black)}) {
            QFont font(families.first());
            font.setPixelSize(32);
            font.setWeight(weight);
            QVERIFY2(drawsInk(font, ch),
                     qPrintable(where + QStringLiteral(" leaves no ink at weight %1").arg(weight)));
        }
    }
    QVERIFY(seen.contains(0x2103));
}

void TestResources::fontLicencesTravelWithTheFonts()
{
    QVERIFY(contentOf(":/res/licenses/fonts-copyright.txt").contains("Apache"));
    QVERIFY(contentOf(":/res/licenses/Apache-2.0.txt").contains("Apache License"));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
