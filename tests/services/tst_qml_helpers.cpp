#include "services/build_stamp.h"
#include "services/file.h"
#include "services_test_support.h"

#include <QtTest>

namespace {

QStringList debugLines;

void collect(QtMsgType, const QMessageLogContext &, const QString &text)
{
    debugLines.append(text);
}

// Runs saveWave with Qt's message output collected in debugLines.
bool saveWave(const QString &path, const QString &text)
{
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    const bool saved = File::getInstance()->saveWave(path, text);
    qInstallMessageHandler(previous);
    return saved;
}

void addStampRow(const char *date, const char *time, const char *stamp)
{
    QTest::newRow(date) << QString(date) << QString(time) << QString(stamp);
}

} // namespace

class TestQmlHelpers : public QObject {
    Q_OBJECT
private slots:
    void buildStampFromCompilerTexts_data();
    void buildStampFromCompilerTexts();
    void saveWaveReplacesTheContent_data();
    void saveWaveReplacesTheContent();
    void saveWaveReportsUnopenablePaths_data();
    void saveWaveReportsUnopenablePaths();
};

void TestQmlHelpers::buildStampFromCompilerTexts_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("stamp");
    addStampRow("Apr  3 2024", "16:49:39", "240403-16:49:39");
    addStampRow("Dec 31 1999", "23:59:59", "991231-23:59:59");
    addStampRow("Jan  1 2000", "00:00:00", "000101-00:00:00");
    addStampRow("Feb 29 2024", "12:00:05", "240229-12:00:05");
    addStampRow("Feb 30 2023", "12:00:00", "");
    addStampRow("Foo  3 2024", "16:49:39", "");
    addStampRow("", "", "");
}

void TestQmlHelpers::buildStampFromCompilerTexts()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, stamp);
    QCOMPARE(buildStampFrom(date, time), stamp);
}

void TestQmlHelpers::saveWaveReplacesTheContent_data()
{
    QTest::addColumn<QByteArray>("old"); // null: no file yet
    QTest::addColumn<QString>("text");
    QTest::newRow("longer file") << QByteArray(4096, 'x') << "Time,a\n1,2";
    QTest::newRow("empty text") << QByteArray("old content") << "";
    QTest::newRow("empty text, new file") << QByteArray() << "";
    // Line ends stay as written (no text mode); characters outside the local
    // encoding become its substitutes, whatever the machine's locale is.
    QTest::newRow("local 8-bit") << QByteArray() << "时间戳,温度\r\n12:00:00.5,23.5\n℃,-1e-7";
}

void TestQmlHelpers::saveWaveReplacesTheContent()
{
    QFETCH(QByteArray, old);
    QFETCH(QString, text);
    ScopedWorkDir dir;
    if (!old.isNull())
        QVERIFY(dir.write("wave.csv", old));
    QVERIFY(saveWave(dir.path("wave.csv"), text));
    const QByteArray expected = text.toLocal8Bit();
    QVERIFY(dir.exists("wave.csv"));
    QCOMPARE(dir.read("wave.csv"), expected);
    const QString size = QString::number(expected.size());
    QCOMPARE(debugLines, (QStringList{"waveStrBytes.length= " + size, "wlen= " + size}));
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << "no/such/folder/wave.csv";
    QTest::newRow("empty path") << "";
    QTest::newRow("a folder") << ".";
    QTest::newRow("URL form") << "file://%1/wave.csv";
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths()
{
    QFETCH(QString, path);
    ScopedWorkDir dir;
    QVERIFY(!saveWave(path.contains("%1") ? path.arg(QDir::currentPath()) : path, "a,b"));
    QVERIFY(debugLines.isEmpty());
    QVERIFY(!dir.exists("wave.csv"));
}

QTEST_MAIN(TestQmlHelpers)
#include "tst_qml_helpers.moc"
