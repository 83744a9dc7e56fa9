// The English catalogue must translate every text that the sources mark for
// translation, and the compiled catalogue in the resources must hold them all.

#include "resources.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kSourceDir = QStringLiteral(ORRINDEL_SOURCE_DIR);
const QString kLupdate = QStringLiteral(ORRINDEL_LUPDATE);

struct Entry {
    QString context;
    QString source;
    QString translation;
    QString type; // "", "unfinished", "vanished" or "obsolete"
};

QList<Entry> readCatalogue(const QString &path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("message"))
                entries.append(entry);
            xml.readNext();
            continue;
        }
        if (!xml.isStartElement()) {
            xml.readNext();
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = Entry();
            entry.context = context;
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value("type").toString();
            entry.translation = xml.readElementText();
        }
    }
    return entries;
}

bool isCompiled(const Entry &entry)
{
    return entry.type != QLatin1String("vanished") && entry.type != QLatin1String("obsolete");
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void everySourceTextHasAFinishedEnglishTranslation();
    void compiledEnglishCatalogueHoldsEveryEntry();
    void catalogueHoldsTheInterfaceTexts_data();
    void catalogueHoldsTheInterfaceTexts();
    void chineseCatalogueIsCompiledIn();
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
    lupdate.start(kLupdate, {"-locations", "none", "-extensions", "qml,js,cpp,h", "main.qml", "qml",
                             "src", "translations/ui_texts.js", "-ts", copy});
    QVERIFY(lupdate.waitForFinished(60000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    const QList<Entry> entries = readCatalogue(copy);
    QVERIFY(!entries.isEmpty());
    QStringList missing;
    for (const Entry &entry : entries) {
        if (isCompiled(entry) && (!entry.type.isEmpty() || entry.translation.isEmpty()))
            missing.append(entry.context + ": " + entry.source);
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable("no finished English translation (run scripts/update-translations.sh "
                        "and translate):\n" +
                        missing.join('\n')));
}

void TestTranslations::compiledEnglishCatalogueHoldsEveryEntry()
{
    initResources();
    QTranslator english;
    QVERIFY(english.load(":/Orrindel_en.qm"));
    int checked = 0;
    for (const Entry &entry : readCatalogue(kSourceDir + "/translations/Orrindel_en.ts")) {
        if (!isCompiled(entry))
            continue;
        QCOMPARE(english.translate(qPrintable(entry.context), qPrintable(entry.source)),
                 entry.translation);
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestTranslations::catalogueHoldsTheInterfaceTexts_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    QTest::newRow("Public") << "Public"
                            << "未知错误"
                            << "UnknowError";
    QTest::newRow("IconButton") << "IconButton"
                                << "保存"
                                << "Save";
    QTest::newRow("TxtButton") << "TxtButton"
                               << "按钮"
                               << "Button";
    QTest::newRow("MyLed") << "MyLed"
                           << "开"
                           << "ON";
    QTest::newRow("MySwitch") << "MySwitch"
                              << "关"
                              << "OFF";
    QTest::newRow("Model") << "Model"
                           << "确认操作"
                           << "Confirm";
    QTest::newRow("Sidebar") << "Sidebar"
                             << "请连接设备"
                             << "Please connect device";
    QTest::newRow("Content") << "Content"
                             << "请连接设备"
                             << "Please connect deviece";
    QTest::newRow("NormalChart") << "NormalChart"
                                 << "时间戳"
                                 << "Time";
}

void TestTranslations::catalogueHoldsTheInterfaceTexts()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, english);
    initResources();
    QTranslator translator;
    QVERIFY(translator.load(":/Orrindel_en.qm"));
    QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), english);
}

void TestTranslations::chineseCatalogueIsCompiledIn()
{
    initResources();
    QVERIFY(QFile::exists(":/Orrindel_cn.qm"));
    QTranslator chinese;
    QVERIFY(chinese.load(":/Orrindel_cn.qm"));
    // Chinese is the source language: nothing is replaced.
    QCOMPARE(chinese.translate("Sidebar", "设备连接"), QString());
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
