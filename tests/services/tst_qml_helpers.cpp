#include "services/build_stamp.h"
#include "services/file.h"
#include "services/qml_public.h"
#include "services_test_support.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtCharts/QLineSeries>
#include <QtTest>

using QtCharts::QLineSeries;

class TestQmlHelpers : public QObject {
    Q_OBJECT
private slots:
    void buildStampFromCompilerTexts_data();
    void buildStampFromCompilerTexts();
    void buildDateTimeHasTheStampForm();

    void seriesPointsRoundTrip();
    void seriesAccessOutsideTheSeriesGivesOrigin();
    void appendToNullSeriesDoesNothing();

    void saveWaveReplacesLongerContent();
    void saveWaveWithEmptyText();
    void saveWaveWritesExactLocal8BitBytes();
    void saveWaveReportsUnopenablePaths_data();
    void saveWaveReportsUnopenablePaths();
};

void TestQmlHelpers::buildStampFromCompilerTexts_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("one-digit day") << "Apr  3 2024"
                                   << "16:49:39"
                                   << "240403-16:49:39";
    QTest::newRow("two-digit day") << "Dec 31 1999"
                                   << "23:59:59"
                                   << "991231-23:59:59";
    QTest::newRow("midnight, new year") << "Jan  1 2000"
                                        << "00:00:00"
                                        << "000101-00:00:00";
    QTest::newRow("leap day") << "Feb 29 2024"
                              << "12:00:05"
                              << "240229-12:00:05";
    QTest::newRow("day 9") << "Sep  9 2031"
                           << "09:08:07"
                           << "310909-09:08:07";
    QTest::newRow("no such day") << "Feb 30 2023"
                                 << "12:00:00"
                                 << "";
    QTest::newRow("unknown month") << "Foo  3 2024"
                                   << "16:49:39"
                                   << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestQmlHelpers::buildStampFromCompilerTexts()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, stamp);
    QCOMPARE(buildStampFrom(date, time), stamp);
}

void TestQmlHelpers::buildDateTimeHasTheStampForm()
{
    const QString stamp = QmlPublic::getInstance()->buildDateTime();
    QVERIFY2(QRegularExpression("^\\d{6}-\\d{2}:\\d{2}:\\d{2}$").match(stamp).hasMatch(),
             qPrintable(stamp));
}

void TestQmlHelpers::seriesPointsRoundTrip()
{
    QmlPublic *helpers = QmlPublic::getInstance();
    QLineSeries series;
    QSignalSpy added(&series, &QLineSeries::pointAdded);
    helpers->xySeriesAppend(&series, 1700000000000.0, -2.5);
    helpers->xySeriesAppend(&series, 1700000000500.0, 7.25);
    QCOMPARE(added.count(), 2);
    QCOMPARE(series.count(), 2);
    QCOMPARE(helpers->xySeriesAt(&series, 0), QPointF(1700000000000.0, -2.5));
    QCOMPARE(helpers->xySeriesAt(&series, series.count() - 1), QPointF(1700000000500.0, 7.25));
}

void TestQmlHelpers::seriesAccessOutsideTheSeriesGivesOrigin()
{
    QmlPublic *helpers = QmlPublic::getInstance();
    QLineSeries series;
    QCOMPARE(helpers->xySeriesAt(&series, 0), QPointF(0, 0));
    series.append(3, 4);
    QCOMPARE(helpers->xySeriesAt(&series, -1), QPointF(0, 0));
    QCOMPARE(helpers->xySeriesAt(&series, 1), QPointF(0, 0));
    QCOMPARE(helpers->xySeriesAt(nullptr, 0), QPointF(0, 0));
}

void TestQmlHelpers::appendToNullSeriesDoesNothing()
{
    QmlPublic::getInstance()->xySeriesAppend(nullptr, 1, 2); // must not crash
}

void TestQmlHelpers::saveWaveReplacesLongerContent()
{
    ScopedWorkDir dir;
    QVERIFY(dir.write("wave.csv", QByteArray(4096, 'x')));
    QVERIFY(File::getInstance()->saveWave(dir.filePath("wave.csv"), "Time,a\n1,2"));
    QCOMPARE(dir.read("wave.csv"), QByteArray("Time,a\n1,2"));
}

void TestQmlHelpers::saveWaveWithEmptyText()
{
    ScopedWorkDir dir;
    QVERIFY(dir.write("wave.csv", "old content"));
    MessageCapture capture;
    MessageCapture::lines().clear();
    QVERIFY(File::getInstance()->saveWave(dir.filePath("wave.csv"), QString()));
    QVERIFY(dir.exists("wave.csv"));
    QCOMPARE(dir.read("wave.csv"), QByteArray());
    QCOMPARE(MessageCapture::lines(), (QStringList{"waveStrBytes.length= 0", "wlen= 0"}));

    QVERIFY(File::getInstance()->saveWave(dir.filePath("new.csv"), QString()));
    QVERIFY(dir.exists("new.csv"));
}

void TestQmlHelpers::saveWaveWritesExactLocal8BitBytes()
{
    ScopedWorkDir dir;
    // Line ends stay as written (no text mode); characters outside the local
    // encoding become its substitutes, whatever the test machine's locale is.
    const QString text = QStringLiteral("时间戳,温度\r\n12:00:00.5,23.5\n℃,-1e-7");
    const QByteArray expected = text.toLocal8Bit();
    MessageCapture capture;
    MessageCapture::lines().clear();
    QVERIFY(File::getInstance()->saveWave(dir.filePath("wave.csv"), text));
    QCOMPARE(dir.read("wave.csv"), expected);
    QCOMPARE(MessageCapture::lines(),
             (QStringList{QStringLiteral("waveStrBytes.length= %1").arg(expected.size()),
                          QStringLiteral("wlen= %1").arg(expected.size())}));
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("untouched");
    QTest::newRow("missing folder") << "no/such/folder/wave.csv"
                                    << "";
    QTest::newRow("empty path") << ""
                                << "";
    QTest::newRow("a folder") << "."
                              << "";
    QTest::newRow("URL form") << "file://%1/wave.csv"
                              << "wave.csv";
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths()
{
    QFETCH(QString, path);
    QFETCH(QString, untouched);
    ScopedWorkDir dir;
    if (path.contains("%1"))
        path = path.arg(QDir::currentPath());
    MessageCapture capture;
    MessageCapture::lines().clear();
    QVERIFY(!File::getInstance()->saveWave(path, "a,b"));
    QVERIFY(MessageCapture::lines().isEmpty());
    if (!untouched.isEmpty())
        QVERIFY(!dir.exists(untouched));
}

QTEST_MAIN(TestQmlHelpers)
#include "tst_qml_helpers.moc"
