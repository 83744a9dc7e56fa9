#include "services/wave_recording.h"
#include "services/wave_store.h"
#include "services/wave_text.h"
#include "services_test_support.h"
#include "singletons.h"
#include "wave_test_support.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <numeric>
#include <random>

using wavetest::JsOracle;
using wavetest::ScopedZoneAndLocale;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kBase = 1718000000123.0; // 2024-06-10, mid-morning in Europe

bool sameDouble(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

QString firstDifference(const QStringList &expected, const QStringList &actual,
                        const QVector<double> &inputs)
{
    if (expected.size() != actual.size())
        return QStringLiteral("sizes %1 and %2").arg(expected.size()).arg(actual.size());
    for (int i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i])
            return QStringLiteral("input %1: JS \"%2\", ours \"%3\"")
                .arg(inputs[i], 0, 'g', 17)
                .arg(expected[i], actual[i]);
    }
    return {};
}

QVector<double> vals(const WaveRecording &recording, int i)
{
    QVector<double> out;
    for (const QVariant &v : recording.entry(i).value("vals").toList())
        out.append(v.toDouble());
    return out;
}

// Zones with daylight saving at whole hours, at half hours (Lord Howe), none
// (Kolkata, +05:30) and an offset in seconds (Monrovia until 1972, -0:44:30).
const QByteArray kZones[] = {
    "UTC",          "Europe/Berlin",  "America/New_York", "Australia/Lord_Howe",
    "Asia/Kolkata", "Africa/Monrovia"};
const char *const kLocales[] = {"C", "en_US", "zh_CN", "de_DE", "ar_EG", "fa_IR", "ja_JP"};

// Times worth writing in a zone: the milliseconds around every offset change
// near 1972 and 2024, the epoch, before the epoch, and a walk of irregular
// steps through two years.
QVector<double> interestingTimes(const QByteArray &zone, QRandomGenerator &rng)
{
    QVector<double> times{0, -1, 999, 1000, -1000, -86400001, 86399999, kBase, 4102444800000};
    for (const char *from : {"1971-06-01T00:00:00Z", "2023-06-01T00:00:00Z"}) {
        const QDateTime start = QDateTime::fromString(from, Qt::ISODate);
        for (double t : wavetest::transitions(zone, start, start.addMonths(19))) {
            for (double d : {-3600000.0, -60001.0, -1001.0, -1.0, 0.0, 1.0, 999.0, 59999.0})
                times.append(t + d);
        }
    }
    double t = 1672531200000; // 2023-01-01
    for (int i = 0; i < 3000; ++i)
        times.append(t += double(rng.bounded(48 * 3600000)));
    return times;
}

// A pushed recording: its times and rows, as the oracle takes them.
struct Pushed {
    QVector<double> times;
    QVector<QVector<double>> rows;
};

// Pushes every 0 to 1 s from kBase, awkward values.
Pushed push(WaveRecording &recording, qsizetype pushes, QRandomGenerator &rng)
{
    Pushed pushed;
    double t = kBase;
    for (qsizetype n = 0; n < pushes; ++n) {
        t += double(rng.bounded(1000));
        QVector<double> row;
        QVariantList values;
        for (int c = 0; c < recording.curveCount(); ++c) {
            row.append(wavetest::awkwardDouble(rng));
            values.append(row.last());
        }
        recording.append(t, values);
        pushed.times.append(t);
        pushed.rows.append(row);
    }
    return pushed;
}

// A full seven-day recording of four curves, pushes 500 ms apart, values as
// the pump currents read (counts times 0.001).
void fillFullPumpRecording(WaveRecording &recording)
{
    recording.setCurveCount(4);
    QRandomGenerator rng(7);
    QVariantList values{0.0, 0.0, 0.0, 0.0};
    for (qsizetype n = 0; n < WaveStore::kDefaultCapacity; ++n) {
        for (QVariant &v : values)
            v = double(rng.bounded(12000)) * 0.001;
        recording.append(kBase + 500.0 * double(n), values);
    }
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

const QStringList kCurrents{"电流1", "电流2", "电流3", "电流4"};

} // namespace

class TestWaveRecording : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    // The pure texts against the QML engine.
    void numberTextIsJavaScripts();
    void timeTextInZonesAndLocales();
    // The store.
    void entriesKeepTimeAndUnroundedValues();
    void valuesMissingOrNotNumbersAreNaN();
    void invalidTimesAreRefusedAndFractionsCut();
    void capDropsTheOldestOnePerPush();
    void fullRecordingDropsOnePerPush();
    void clearAndWidthChangeEmptyAndRelease();
    // The export.
    void exportMatchesAListOfEntryObjects_data();
    void exportMatchesAListOfEntryObjects();
    void exportHeaderAndColumns();
    void exportToWritesTheTextOfTheMomentAsked_data();
    void exportToWritesTheTextOfTheMomentAsked();
    void failedExportLeavesTheFileAsItWas_data();
    void failedExportLeavesTheFileAsItWas();
    void exportsAskedMeanwhileFollowInTurn();
    void destroyedDuringAnExportCommitsNothing_data();
    void destroyedDuringAnExportCommitsNothing();
    void eventLoopRunsThroughAFullExport();
    // In QML.
    void qmlTypeUnderItsOwnImport();

private:
    std::unique_ptr<JsOracle> oracle;
    quint32 seed = 0;
};

void TestWaveRecording::initTestCase()
{
    registerSingletons(); // also registers the recording type
    oracle = std::make_unique<JsOracle>();
    seed = wavetest::testSeed(20240610);
}

// Named edge values first, then 200 000 awkward ones, all in one call.
void TestWaveRecording::numberTextIsJavaScripts()
{
    QVector<double> values{1e21,
                           std::nextafter(1e21, 0.0),
                           1e20,
                           1e-7,
                           -1e-7,
                           1e-6,
                           1.5e-7,
                           0.000001234,
                           0.1 + 0.2,
                           -0.0,
                           0.0,
                           9007199254740994.0, // 2^53 + 2
                           18446744073709551616.0,
                           123456789012345680000.0,
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(),
                           kNaN,
                           kInf,
                           -kInf,
                           23.5,
                           -12.34,
                           100,
                           1.0 / 3.0};
    QRandomGenerator rng(seed);
    for (int i = 0; i < 200000; ++i)
        values.append(wavetest::awkwardDouble(rng));
    QStringList ours;
    for (double v : values)
        ours.append(wave_text::numberText(v));
    const QString difference = firstDifference(oracle->numberTexts(values), ours, values);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(ours.mid(0, 4),
             (QStringList{"1e+21", "999999999999999900000", "100000000000000000000", "1e-7"}));
}

// timeText, and the export's formatter in time order and shuffled (its
// minute cache must not depend on the order).
void TestWaveRecording::timeTextInZonesAndLocales()
{
    QRandomGenerator rng(seed);
    for (const QByteArray &zone : kZones) {
        for (const char *locale : kLocales) {
            ScopedZoneAndLocale scope(zone, QLocale(QString::fromLatin1(locale)));
            const QVector<double> times = interestingTimes(zone, rng);
            QVector<int> order(times.size());
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin() + times.size() / 2, order.end(), std::mt19937(seed));
            QStringList single, formatted;
            QVector<QString> byIndex(times.size()), isoByIndex(times.size());
            wave_text::TimeTextFormatter formatter;
            wave_text::IsoTimeFormatter isoFormatter;
            for (int i : order) {
                single.append(wave_text::timeText(qint64(times[i])));
                byIndex[i] = formatter.text(qint64(times[i]));
                isoFormatter.append(qint64(times[i]), isoByIndex[i]);
            }
            QStringList expected;
            const QStringList oracleTexts = oracle->timeTexts(times);
            for (int i : order)
                expected.append(oracleTexts[i]);
            formatted = QStringList(byIndex.begin(), byIndex.end());
            const QString where = QStringLiteral("%1, %2: ").arg(zone, locale);
            QString difference = firstDifference(expected, single, times);
            QVERIFY2(difference.isEmpty(), qPrintable(where + difference));
            difference = firstDifference(oracleTexts, formatted, times);
            QVERIFY2(difference.isEmpty(), qPrintable(where + "formatter: " + difference));
            difference = firstDifference(oracle->isoTimeTexts(times),
                                         QStringList(isoByIndex.begin(), isoByIndex.end()), times);
            QVERIFY2(difference.isEmpty(), qPrintable(where + "with date: " + difference));
        }
    }
}

void TestWaveRecording::entriesKeepTimeAndUnroundedValues()
{
    ScopedZoneAndLocale scope("Europe/Berlin", QLocale("de_DE"));
    WaveRecording recording;
    recording.setCurveCount(3);
    QSignalSpy counted(&recording, &WaveRecording::countChanged);
    QVERIFY(recording.append(kBase, {0.1 + 0.2, -1e-300, 12}));
    QVERIFY(recording.append(kBase + 500, {1, 2, 3}));
    QCOMPARE(recording.count(), 2);
    QCOMPARE(counted.count(), 2);

    const QStringList times = oracle->timeTexts({kBase, kBase + 500});
    QVERIFY(times[0].startsWith("08:13:20 ") && times[0].endsWith(".123"));
    QCOMPARE(recording.entry(0).value("time").toString(), times[0]);
    QCOMPARE(recording.entry(1).value("time").toString(), times[1]);
    QCOMPARE(vals(recording, 0), (QVector<double>{0.1 + 0.2, -1e-300, 12}));
    QCOMPARE(recording.timeMs(1), kBase + 500);
    QVERIFY(recording.entry(2).isEmpty());
    QVERIFY(recording.entry(-1).isEmpty());
    QVERIFY(std::isnan(recording.timeMs(2)));
}

void TestWaveRecording::valuesMissingOrNotNumbersAreNaN()
{
    WaveRecording recording;
    recording.setCurveCount(4);
    QVERIFY(recording.append(kBase, {1.5}));
    QVERIFY(
        recording.append(kBase, {QString("2"), true, QVariant(), QVariant::fromValue(nullptr)}));
    QVERIFY(recording.append(kBase, {int(7), qint64(1) << 60, 0.5f, 1, 99, 100})); // extra ignored
    const QVector<double> rows[] = {
        {1.5, kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN, kNaN}, {7, 1152921504606846976.0, 0.5, 1}};
    for (int i = 0; i < 3; ++i) {
        const QVector<double> got = vals(recording, i);
        QCOMPARE(got.size(), 4);
        for (int c = 0; c < 4; ++c)
            QVERIFY2(sameDouble(got[c], rows[i][c]), qPrintable(QString("%1/%2").arg(i).arg(c)));
    }
    const QStringList lines = recording.exportText("T", {"a", "b", "c", "d"}).split('\n');
    QVERIFY(lines[1].endsWith(",1.5,NaN,NaN,NaN"));
    QVERIFY(lines[3].endsWith(",7,1152921504606847000,0.5,1"));
}

void TestWaveRecording::invalidTimesAreRefusedAndFractionsCut()
{
    ScopedZoneAndLocale scope("UTC", QLocale::c());
    WaveStore store(1);
    const double v = 1;
    for (double bad : {kNaN, kInf, -kInf, 8.64e15 + 1, -8.64e15 - 1})
        QVERIFY(!store.append(bad, &v, 1));
    QCOMPARE(store.size(), 0);
    const QVector<double> good{1.9, -1.5, -0.25, 8.64e15, -8.64e15};
    for (double t : good)
        QVERIFY(store.append(t, &v, 1));
    QCOMPARE(store.timeAt(0), 1.0);
    QCOMPARE(store.timeAt(1), -1.0);
    QVERIFY(sameDouble(store.timeAt(2), 0.0));
    // As a Date made from the same number.
    const QStringList expected = oracle->timeTexts(good);
    const QStringList lines = store.exportText("T", {"v"}).split('\n').mid(1);
    for (int i = 0; i < good.size(); ++i)
        QCOMPARE(lines.value(i), expected[i] + ",1");
}

void TestWaveRecording::capDropsTheOldestOnePerPush()
{
    WaveRecording recording;
    recording.setCapacity(3);
    QSignalSpy counted(&recording, &WaveRecording::countChanged);
    for (int n = 1; n <= 10; ++n) {
        QVERIFY(recording.append(n * 1000.0, {double(n)}));
        QCOMPARE(recording.count(), qMin(n, 3));
        QCOMPARE(recording.timeMs(0), qMax(1, n - 2) * 1000.0);
        QCOMPARE(recording.timeMs(recording.count() - 1), n * 1000.0);
    }
    QCOMPARE(counted.count(), 3); // the count stops changing at the cap

    // Lowering the capacity drops at once; raising it keeps what is there.
    recording.setCapacity(6);
    recording.append(11000, {11.0});
    recording.setCapacity(2);
    QCOMPARE(recording.count(), 2);
    QCOMPARE(recording.timeMs(0), 10000.0);
    recording.setCapacity(-5);
    QCOMPARE(recording.capacity(), 0);
    QVERIFY(recording.append(1, {1.0})); // accepted, and dropped at once
    QCOMPARE(recording.count(), 0);
}

void TestWaveRecording::fullRecordingDropsOnePerPush()
{
    WaveStore store(1);
    QCOMPARE(store.capacity(), qsizetype(1209600));
    double v = 0;
    for (qsizetype n = 0; n < 1209600; ++n, ++v)
        QVERIFY(store.append(double(n), &v, 1));
    QCOMPARE(store.timeAt(0), 0.0);
    for (int extra = 1; extra <= 5000; ++extra, ++v) {
        QVERIFY(store.append(v, &v, 1));
        QCOMPARE(store.size(), qsizetype(1209600));
        QCOMPARE(store.timeAt(0), double(extra));
        QCOMPARE(store.valueAt(store.size() - 1, 0), v);
    }
    // Across many blocks every entry is still in place.
    for (qsizetype i = 0; i < store.size(); i += 4093)
        QCOMPARE(store.valueAt(i, 0), double(5000 + i));
}

void TestWaveRecording::clearAndWidthChangeEmptyAndRelease()
{
    const std::size_t block = std::size_t(WaveStore::kBlockEntries) * 5 * sizeof(double);
    WaveStore store(4);
    QCOMPARE(store.allocatedBytes(), std::size_t(0));
    const double v[4] = {1, 2, 3, 4};
    store.setCapacity(10000);
    for (int n = 0; n < 100000; ++n) {
        store.append(n, v, 4);
        // The entries, plus at most one partly used block at each end.
        QVERIFY(store.allocatedBytes() <=
                std::size_t(store.size()) * 5 * sizeof(double) + 2 * block);
    }
    store.clear();
    QCOMPARE(store.size(), 0);
    QCOMPARE(store.allocatedBytes(), std::size_t(0));

    WaveRecording recording;
    recording.setCurveCount(2);
    QSignalSpy counted(&recording, &WaveRecording::countChanged);
    recording.clear(); // nothing to clear: no signal
    recording.append(1, {1, 2});
    recording.setCurveCount(2); // unchanged: kept
    QCOMPARE(recording.count(), 1);
    recording.setCurveCount(3);
    QCOMPARE(recording.count(), 0);
    recording.append(2, {7, 8, 9});
    recording.clear();
    QCOMPARE(recording.count(), 0);
    QCOMPARE(counted.count(), 4);
}

void TestWaveRecording::exportMatchesAListOfEntryObjects_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("curves");
    QTest::addColumn<int>("cap");
    QTest::addColumn<int>("pushes");
    QTest::newRow("Berlin zh_CN, 4 curves")
        << QByteArray("Europe/Berlin") << "zh_CN" << 4 << 50 << 400;
    QTest::newRow("New York en_US, 2 curves")
        << QByteArray("America/New_York") << "en_US" << 2 << 1000 << 300;
    QTest::newRow("Lord Howe C, 3 curves")
        << QByteArray("Australia/Lord_Howe") << "C" << 3 << 7 << 200;
    QTest::newRow("UTC de_DE, 1 curve") << QByteArray("UTC") << "de_DE" << 1 << 1209600 << 500;
}

// Pushes every 0 to 1.5 s across the zone's autumn change, against the export
// of a plain list of entry objects with the same cap.
void TestWaveRecording::exportMatchesAListOfEntryObjects()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, locale);
    QFETCH(int, curves);
    QFETCH(int, cap);
    QFETCH(int, pushes);
    ScopedZoneAndLocale scope(zone, QLocale(locale));
    QRandomGenerator rng(seed);
    const QVector<double> changes =
        wavetest::transitions(zone, QDateTime::fromString("2024-07-01T00:00:00Z", Qt::ISODate),
                              QDateTime::fromString("2025-01-01T00:00:00Z", Qt::ISODate));
    double t = (changes.isEmpty() ? kBase : changes.first()) - 120000;
    QVector<double> times;
    QVector<QVector<double>> rows;
    WaveRecording recording;
    recording.setCurveCount(curves);
    recording.setCapacity(cap);
    for (int n = 0; n < pushes; ++n) {
        t += double(rng.bounded(1500));
        QVector<double> row;
        QVariantList values;
        for (int c = 0; c < curves; ++c) {
            row.append(wavetest::awkwardDouble(rng));
            values.append(row.last());
        }
        times.append(t);
        rows.append(row);
        QVERIFY(recording.append(t, values));
    }
    QStringList names;
    for (int c = 1; c <= curves; ++c)
        names.append(QStringLiteral("电流%1").arg(c));

    const QStringList expected = oracle->exportText(cap, "时间戳", names, times, rows).split('\n');
    const QStringList ours = recording.exportText("时间戳", names).split('\n');
    QCOMPARE(ours.size(), qMin(cap, pushes) + 1);
    for (int i = 0; i < qMin(expected.size(), ours.size()); ++i)
        QCOMPARE(ours[i], expected[i]);
    QCOMPARE(ours.size(), expected.size());
    QVERIFY(!ours.last().isEmpty()); // no line break after the last line
}

void TestWaveRecording::exportHeaderAndColumns()
{
    ScopedZoneAndLocale scope("UTC", QLocale::c());
    WaveRecording recording;
    recording.setCurveCount(2);
    const QStringList names{"电流1", "电流2"};
    QCOMPARE(recording.exportText("时间戳", names), QStringLiteral("时间戳,电流1,电流2"));
    QCOMPARE(recording.exportText("", {}), QString(""));
    recording.append(0, {1.25, -2});
    // The names give the columns; one beyond the curves is NaN.
    QCOMPARE(recording.exportText("Time", {"a"}), QStringLiteral("Time,a\n00:00:00 UTC.0,1.25"));
    QCOMPARE(recording.exportText("Time", {"a", "b", "c"}),
             QStringLiteral("Time,a,b,c\n00:00:00 UTC.0,1.25,-2,NaN"));
    // With dates: only the first column differs; milliseconds padded, before
    // the epoch too.
    recording.append(-1, {3, 4});
    recording.append(86400000LL * 365 + 7, {5, 6});
    QCOMPARE(recording.exportText("Time", names, true),
             QStringLiteral("Time,电流1,电流2\n1970-01-01T00:00:00.000,1.25,-2"
                            "\n1969-12-31T23:59:59.999,3,4\n1971-01-01T00:00:00.007,5,6"));
    recording.clear();
    QCOMPARE(recording.exportText("Time", names), QStringLiteral("Time,电流1,电流2"));
}

void TestWaveRecording::exportToWritesTheTextOfTheMomentAsked_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("withDate");
    QTest::addColumn<int>("curves");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("cap");
    QTest::addColumn<int>("pushes");
    // More lines than the worker makes at a time, the oldest block dropped.
    QTest::newRow("Berlin zh_CN, time of day")
        << QByteArray("Europe/Berlin") << "zh_CN" << false << 2 << 2 << 12000 << 20000;
    QTest::newRow("New York en_US, with date, a column beyond the curves")
        << QByteArray("America/New_York") << "en_US" << true << 3 << 4 << 1209600 << 9000;
    QTest::newRow("nothing recorded") << QByteArray("UTC") << "C" << false << 1 << 1 << 10 << 0;
}

// The file holds what exportText gave when exportTo was called, pushes and a
// clear meanwhile notwithstanding, in the local 8-bit encoding; its text is
// the oracle's export (with its ISO times in the first column for the dated).
void TestWaveRecording::exportToWritesTheTextOfTheMomentAsked()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, locale);
    QFETCH(bool, withDate);
    QFETCH(int, curves);
    QFETCH(int, columns);
    QFETCH(int, cap);
    QFETCH(int, pushes);
    ScopedZoneAndLocale scope(zone, QLocale(locale));
    QRandomGenerator rng(seed);
    WaveRecording recording;
    recording.setCurveCount(curves);
    recording.setCapacity(cap);
    Pushed pushed = push(recording, pushes, rng);
    const QStringList names = kCurrents.mid(0, columns);
    const QString text = recording.exportText("时间戳", names, withDate);

    QTemporaryDir dir;
    const QString path = dir.filePath("波形 1.csv");
    QSignalSpy finished(&recording, &WaveRecording::exportFinished);
    recording.exportTo(path, "时间戳", names, withDate);
    QVERIFY(recording.isExporting());
    push(recording, 5000, rng);
    recording.clear();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.takeFirst(), (QVariantList{true, path}));
    QVERIFY(!recording.isExporting());
    QCOMPARE(recording.exportProgress(), 1.0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"波形 1.csv"});
    QCOMPARE(readFile(path), text.toLocal8Bit());

    for (QVector<double> &row : pushed.rows) {
        while (row.size() < columns)
            row.append(kNaN); // a column beyond the curves
    }
    QStringList expected =
        oracle->exportText(cap, "时间戳", names, pushed.times, pushed.rows).split('\n');
    if (withDate) {
        const QStringList iso = oracle->isoTimeTexts(pushed.times.mid(qMax(0, pushes - cap)));
        for (int i = 1; i < expected.size(); ++i)
            expected[i] = iso[i - 1] + expected[i].mid(expected[i].indexOf(','));
    }
    const QStringList written = QString::fromLocal8Bit(readFile(path)).split('\n');
    QCOMPARE(written.size(), expected.size());
    for (int i = 0; i < written.size(); ++i)
        QCOMPARE(written[i], expected[i]);
}

void TestWaveRecording::failedExportLeavesTheFileAsItWas_data()
{
    QTest::addColumn<QString>("name");  // in a folder holding wave.csv
    QTest::addColumn<bool>("readOnly"); // wave.csv cannot be written
    QTest::newRow("missing folder") << "no/such/wave.csv" << false;
    QTest::newRow("a folder's name") << "sub" << false;
    QTest::newRow("read-only file") << "wave.csv" << true;
    QTest::newRow("empty name") << "" << false;
}

// Reported as a failure, and neither the file nor its folder changes.
void TestWaveRecording::failedExportLeavesTheFileAsItWas()
{
    QFETCH(QString, name);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const QString old = dir.filePath("wave.csv");
    const QByteArray content("Time,old\n1,2");
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    if (readOnly && !makeReadOnly(old)) {
        makeWritable(old);
        QSKIP("cannot make a read-only file here (root without chattr)");
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    WaveRecording recording;
    recording.append(kBase, {1.5});
    QSignalSpy finished(&recording, &WaveRecording::exportFinished);
    const QString path = name.isEmpty() ? name : dir.filePath(name);
    recording.exportTo(path, "Time", {"a"});
    const bool done = finished.wait(60000);
    if (readOnly)
        makeWritable(old);
    QVERIFY(done);
    QCOMPARE(finished.takeFirst(), (QVariantList{false, path}));
    QVERIFY(!recording.isExporting());
    QCOMPARE(readFile(old), content);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

// Three exports asked for at once run one after the other, in the order
// asked: the second, to the same file, replaces the first's text; exporting
// stays true until the last has finished.
void TestWaveRecording::exportsAskedMeanwhileFollowInTurn()
{
    ScopedZoneAndLocale scope("Europe/Berlin", QLocale("de_DE"));
    QRandomGenerator rng(seed);
    WaveRecording recording;
    recording.setCurveCount(2);
    push(recording, 30000, rng);
    QTemporaryDir dir;
    const QString a = dir.filePath("a.csv"), b = dir.filePath("b.csv");
    const QStringList names = kCurrents.mid(0, 2);

    QStringList expected{recording.exportText("T", names)};
    recording.exportTo(a, "T", names);
    push(recording, 1, rng);
    expected.append(recording.exportText("T", names, true));
    recording.exportTo(a, "T", names, true);
    expected.append(recording.exportText("X", names.mid(1)));
    recording.exportTo(b, "X", names.mid(1));

    QStringList order;
    QList<bool> exportingThen;
    connect(&recording, &WaveRecording::exportFinished, this, [&](bool ok, const QString &path) {
        QVERIFY(ok);
        order.append(path);
        exportingThen.append(recording.isExporting());
        // Each finished file is whole when the next begins.
        QCOMPARE(readFile(path), expected[order.size() - 1].toLocal8Bit());
    });
    QSignalSpy exporting(&recording, &WaveRecording::exportingChanged);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 60000);
    QCOMPARE(order, (QStringList{a, a, b}));
    QCOMPARE(exportingThen, (QList<bool>{true, true, false}));
    QCOMPARE(exporting.count(), 1); // to false, once
    QCOMPARE(readFile(a), expected[1].toLocal8Bit());
    QCOMPARE(readFile(b), expected[2].toLocal8Bit());
}

void TestWaveRecording::destroyedDuringAnExportCommitsNothing_data()
{
    QTest::addColumn<bool>("midway");
    QTest::newRow("right after asking") << false;
    QTest::newRow("midway") << true;
}

// The file being written and the one waiting stay as they were, nothing is
// left beside them, and nothing is reported.
void TestWaveRecording::destroyedDuringAnExportCommitsNothing()
{
    QFETCH(bool, midway);
    QTemporaryDir dir;
    const QString path = dir.filePath("wave.csv");
    const QByteArray content("Time,old\n1,2");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    auto recording = std::make_unique<WaveRecording>();
    fillFullPumpRecording(*recording);
    QSignalSpy finished(recording.get(), &WaveRecording::exportFinished);
    recording->exportTo(path, "Time", kCurrents);
    recording->exportTo(dir.filePath("next.csv"), "Time", kCurrents);
    if (midway)
        QTRY_VERIFY_WITH_TIMEOUT(recording->exportProgress() > 0, 60000);
    QVERIFY(recording->exportProgress() < 1);
    recording.reset();
    QCOMPARE(finished.count(), 0);
    QCOMPARE(readFile(path), content);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"wave.csv"});
}

// The longest time the event loop waits for a turn while a full seven-day
// recording is exported (printed; bench_recording prints it with the
// synchronous export's for comparison). The bound is only a gross one:
// the machine may be busy.
void TestWaveRecording::eventLoopRunsThroughAFullExport()
{
    WaveRecording recording;
    fillFullPumpRecording(recording);
    QTemporaryDir dir;
    QSignalSpy finished(&recording, &WaveRecording::exportFinished);
    QSignalSpy progressed(&recording, &WaveRecording::exportProgressChanged);

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    connect(&tick, &QTimer::timeout, this, [&] {
        const qint64 now = clock.elapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    tick.start();
    recording.exportTo(dir.filePath("wave.csv"), "时间戳", kCurrents);
    const qint64 asked = clock.elapsed();
    QVERIFY(finished.wait(120000));
    const qint64 total = clock.elapsed();
    QCOMPARE(finished.takeFirst().at(0).toBool(), true);
    qInfo("export of %d lines: exportTo returned after %lld ms, finished after %lld ms; "
          "longest event-loop gap %lld ms; %d progress notices",
          int(recording.count()), asked, total, longest, int(progressed.count()));
    QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
    // About one a progress interval (100 ms; a timer may fire a little
    // early), and the end.
    QVERIFY2(progressed.count() <= total / 90 + 2, qPrintable(QString::number(progressed.count())));
    QCOMPARE(QFileInfo(dir.filePath("wave.csv")).size() > 50 * 1000 * 1000, true);
}

// JavaScript lists and undefined cross into the store; count notifies; the
// type is not one of the five services.
void TestWaveRecording::qmlTypeUnderItsOwnImport()
{
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
import QtQml 2.15
import OrrindelRecording 1.0
WaveRecording {
    property int seenCount: count
    capacity: 2
    curveCount: 3
    function run() {
        append(1000, [1.5, undefined, "x"])
        append(2000, [2])
        append(3000.7, [3, 4, 5, 6])
        return [count, seenCount, entry(1).vals.length, entry(1).vals[1], isNaN(entry(0).vals[1]),
                timeMs(0), typeof entry(2).time]
    }
}
)",
                      QUrl::fromLocalFile("/recording/Recording.qml"));
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    QVariant result;
    QVERIFY(QMetaObject::invokeMethod(root.get(), "run", Q_RETURN_ARG(QVariant, result)));
    const QVariantList r = result.userType() == qMetaTypeId<QJSValue>()
                               ? result.value<QJSValue>().toVariant().toList()
                               : result.toList();
    QCOMPARE(r, (QVariantList{2, 2, 3, 4.0, true, 2000.0, QString("undefined")}));

    QQmlComponent wrong(&engine);
    wrong.setData("import QtQml 2.15\nimport CppSingletonClass 1.0\nWaveRecording {}\n",
                  QUrl::fromLocalFile("/recording/Wrong.qml"));
    QVERIFY(wrong.isError());
    QVERIFY(wrong.errorString().contains("WaveRecording"));
}

QTEST_MAIN(TestWaveRecording)
#include "tst_wave_recording.moc"
