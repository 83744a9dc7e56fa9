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
    void dialogUrlBecomesLocalPath_data();
    void dialogUrlBecomesLocalPath();
    void dialogUrlOfAnAwkwardNameIsWritten();
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

void TestQmlHelpers::dialogUrlBecomesLocalPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("absolute") << "file:///home/op/wave.csv"
                              << "/home/op/wave.csv";
    QTest::newRow("blank, encoded") << "file:///home/op/my%20wave.csv"
                                    << "/home/op/my wave.csv";
    QTest::newRow("blank, plain") << "file:///home/op/my wave.csv"
                                  << "/home/op/my wave.csv";
    QTest::newRow("Chinese, encoded") << "file:///home/op/%E6%B3%A2%E5%BD%A2.csv"
                                      << "/home/op/波形.csv";
    QTest::newRow("Chinese, plain") << "file:///home/op/波形 1.csv"
                                    << "/home/op/波形 1.csv";
    QTest::newRow("percent sign") << "file:///tmp/100%25.csv"
                                  << "/tmp/100%.csv";
    QTest::newRow("drive letter") << "file:///C:/data/wave.csv"
                                  << "C:/data/wave.csv";
    QTest::newRow("drive, encoded") << "file:///d:/My%20Data/%E6%B3%A2.csv"
                                    << "d:/My Data/波.csv";
    QTest::newRow("drive root") << "file:///C:"
                                << "C:";
    QTest::newRow("server share") << "file://server/share/wave.csv"
                                  << "//server/share/wave.csv";
    QTest::newRow("scheme in capitals") << "FILE:///tmp/wave.csv"
                                        << "/tmp/wave.csv";
    // Plain names pass unchanged, however URL-like they look.
    QTest::newRow("plain absolute") << "/home/op/my%20wave.csv"
                                    << "/home/op/my%20wave.csv";
    QTest::newRow("plain drive") << "C:/data/wave.csv"
                                 << "C:/data/wave.csv";
    QTest::newRow("plain relative") << "wave.csv"
                                    << "wave.csv";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("a folder named /C:") << "/C:/data/wave.csv"
                                        << "/C:/data/wave.csv";
}

void TestQmlHelpers::dialogUrlBecomesLocalPath()
{
    QFETCH(QString, url);
    QFETCH(QString, path);
    QCOMPARE(File::getInstance()->urlToLocalPath(url), path);
}

// The dialog's answer for a name with a blank and Chinese characters reaches
// the file it names, not a percent-encoded or relative one.
void TestQmlHelpers::dialogUrlOfAnAwkwardNameIsWritten()
{
    ScopedWorkDir dir;
    const QString url =
        QUrl::fromLocalFile(dir.path("my wave 波形.csv")).toString(QUrl::FullyEncoded);
    QVERIFY(url.contains("%20"));
    QVERIFY(saveWave(File::getInstance()->urlToLocalPath(url), "Time,a"));
    QCOMPARE(dir.read("my wave 波形.csv"), QByteArray("Time,a"));
    QCOMPARE(QDir(dir.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 1);
}

QTEST_MAIN(TestQmlHelpers)
#include "tst_qml_helpers.moc"
