// The English catalogue must translate every text that the sources mark for
// translation, and the compiled catalogues in the resources must match it.

#include "resources.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kSourceDir = QStringLiteral(ORRINDEL_SOURCE_DIR);

struct Entry {
    QString context, source, translation;
    QString type; // "", "unfinished", "vanished" or "obsolete"
    bool compiled() const { return type != "vanished" && type != "obsolete"; }
};

QList<Entry> readCatalogue(const QString &path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entries.append(Entry{context, {}, {}, {}});
        } else if (xml.name() == QLatin1String("source") && !entries.isEmpty()) {
            entries.last().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && !entries.isEmpty()) {
            entries.last().type = xml.attributes().value("type").toString();
            entries.last().translation = xml.readElementText();
        }
    }
    return entries;
}

void addRow(const char *context, const char *source, const char *english)
{
    QTest::newRow(context) << QString(context) << QString(source) << QString(english);
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initResources(); }
    void everySourceTextHasAFinishedEnglishTranslation();
    void compiledCataloguesMatchTheSources();
    void englishCatalogueHoldsTheInterfaceTexts_data();
    void englishCatalogueHoldsTheInterfaceTexts();
};

void TestTranslations::everySourceTextHasAFinishedEnglishTranslation()
{
    // Bring a copy of the catalogue up to date with the sources, the way
    // scripts/update-translations.sh does, and look for gaps.
    QTemporaryDir dir;
    const QString copy = dir.filePath("Orrindel_en.ts");
    QVERIFY(QFile::copy(kSourceDir + "/translations/Orrindel_en.ts", copy));
    QProcess lupdate;
    lupdate.setWorkingDirectory(kSourceDir);
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(ORRINDEL_LUPDATE, {"-locations", "none", "-extensions", "qml,js,cpp,h",
                                     "main.qml", "qml", "src", "-ts", copy});
    QVERIFY(lupdate.waitForFinished(60000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    const QList<Entry> entries = readCatalogue(copy);
    QVERIFY(!entries.isEmpty());
    QStringList missing;
    for (const Entry &entry : entries) {
        if (entry.compiled() && (!entry.type.isEmpty() || entry.translation.isEmpty()))
            missing.append(entry.context + ": " + entry.source);
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable("no finished English translation (run scripts/update-translations.sh "
                        "and translate):\n" +
                        missing.join('\n')));
}

void TestTranslations::compiledCataloguesMatchTheSources()
{
    QTranslator english, chinese;
    QVERIFY(english.load(":/Orrindel_en.qm"));
    QVERIFY(chinese.load(":/Orrindel_cn.qm"));
    int checked = 0;
    for (const Entry &entry : readCatalogue(kSourceDir + "/translations/Orrindel_en.ts")) {
        if (!entry.compiled())
            continue;
        const QByteArray context = entry.context.toUtf8(), source = entry.source.toUtf8();
        QCOMPARE(english.translate(context.constData(), source.constData()), entry.translation);
        // Chinese is the source language: nothing is replaced.
        QCOMPARE(chinese.translate(context.constData(), source.constData()), QString());
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestTranslations::englishCatalogueHoldsTheInterfaceTexts_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    addRow("Public", "未知错误", "UnknowError");
    addRow("IconButton", "保存", "Save");
    addRow("TxtButton", "按钮", "Button");
    addRow("MyLed", "开", "ON");
    addRow("MySwitch", "关", "OFF");
    addRow("Model", "确认操作", "Confirm");
    addRow("Sidebar", "请连接设备", "Please connect device");
    addRow("Content", "请连接设备", "Please connect deviece");
    addRow("NormalChart", "时间戳", "Time");
}

void TestTranslations::englishCatalogueHoldsTheInterfaceTexts()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, english);
    QTranslator translator;
    QVERIFY(translator.load(":/Orrindel_en.qm"));
    QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), english);
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
