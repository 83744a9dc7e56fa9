#include "services/look_back_rules.h"
#include "services/wave_decimation.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using wave_decimation::Point;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The reference: every column's samples gathered, then its first minimum
// and first maximum, the earlier first.
std::vector<Point> naive(const WaveStore &store, int curve, double from, double to, int columns)
{
    std::vector<std::vector<qsizetype>> inColumn(static_cast<std::size_t>(columns));
    for (qsizetype i = 0; i < store.size(); ++i) {
        const double t = store.timeAt(i);
        if (t < from || t > to || std::isnan(store.valueAt(i, curve)))
            continue;
        int c = int(std::floor((t - from) * columns / (to - from)));
        c = std::min(c, columns - 1);
        inColumn[std::size_t(c)].push_back(i);
    }
    std::vector<Point> out;
    for (const std::vector<qsizetype> &indices : inColumn) {
        if (indices.empty())
            continue;
        qsizetype low = indices.front(), high = indices.front();
        for (qsizetype i : indices) {
            if (store.valueAt(i, curve) < store.valueAt(low, curve))
                low = i;
            if (store.valueAt(i, curve) > store.valueAt(high, curve))
                high = i;
        }
        const qsizetype first = std::min(low, high), second = std::max(low, high);
        out.push_back({store.timeAt(first), store.valueAt(first, curve)});
        if (second != first)
            out.push_back({store.timeAt(second), store.valueAt(second, curve)});
    }
    return out;
}

// Two curves, an entry every 500 ms from t0, with a spike, NaN runs and a
// gap of a minute without entries. Quantized: values of a few levels, so
// that a column holds many equal extremes. A capacity below entries drops
// the oldest, so that the first entry starts no chunk of the store.
WaveStore recording(int entries, unsigned seed, bool quantized = false, qsizetype capacity = 0)
{
    WaveStore store(2);
    if (capacity > 0)
        store.setCapacity(capacity);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-1, 1);
    double t = 1765180800000;
    for (int i = 0; i < entries; ++i) {
        double v[2] = {20 + noise(random), std::sin(i / 50.0)};
        if (quantized) {
            v[0] = std::round(v[0] * 2);
            v[1] = std::round(v[1] * 3);
        }
        if (i == entries / 3)
            v[0] = 900; // one sample's spike
        if (i % 97 < 5)
            v[1] = kNaN;
        store.append(t, v, 2);
        t += (i == entries / 2) ? 60000 : 500;
    }
    return store;
}

} // namespace

class TestLookBack : public QObject {
    Q_OBJECT
private slots:
    void decimationAgreesWithTheReference_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<double>("fromOffset"); // from the first entry, ms
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("quantized");
        QTest::addColumn<int>("capacity"); // 0: all entries kept
        QTest::newRow("whole, 800 columns") << 20000 << 0.0 << 10060000.0 << 800 << false << 0;
        QTest::newRow("more columns than entries") << 50 << 0.0 << 25000.0 << 400 << false << 0;
        QTest::newRow("range past both ends") << 3000 << -60000.0 << 2000000.0 << 300 << false << 0;
        QTest::newRow("inside the gap only") << 2000 << 500500.0 << 50000.0 << 100 << false << 0;
        QTest::newRow("one column") << 5000 << 1000.0 << 900000.0 << 1 << false << 0;
        QTest::newRow("across blocks") << 9000 << 100000.0 << 3000000.0 << 1000 << false << 0;
        // Columns of many chunks, read by their kept extremes.
        QTest::newRow("chunks, equal values") << 30000 << 0.0 << 15060000.0 << 7 << true << 0;
        QTest::newRow("chunks, oldest dropped")
            << 30000 << 0.0 << 15060000.0 << 13 << true << 25037;
        QTest::newRow("chunks, a range inside")
            << 40000 << 777777.0 << 9000000.0 << 33 << false << 0;
    }
    void decimationAgreesWithTheReference()
    {
        QFETCH(int, entries);
        QFETCH(double, fromOffset);
        QFETCH(double, span);
        QFETCH(int, columns);
        QFETCH(bool, quantized);
        QFETCH(int, capacity);
        const WaveStore store = recording(entries, unsigned(entries), quantized, capacity);
        const double from = store.timeAt(0) + fromOffset;
        const auto got =
            wave_decimation::minMaxColumns(store.snapshot(), from, from + span, columns);
        QCOMPARE(int(got.size()), 2);
        for (int curve = 0; curve < 2; ++curve) {
            const std::vector<Point> want = naive(store, curve, from, from + span, columns);
            QCOMPARE(got[std::size_t(curve)].size(), want.size());
            for (std::size_t i = 0; i < want.size(); ++i) {
                QCOMPARE(got[std::size_t(curve)][i].timeMs, want[i].timeMs);
                QCOMPARE(got[std::size_t(curve)][i].value, want[i].value);
            }
            QVERIFY(got[std::size_t(curve)].size() <= std::size_t(columns) * 2);
        }
    }

    void decimationKeepsASpikeAndSkipsWhatItCannotDraw()
    {
        const WaveStore store = recording(100000, 7);
        const double from = store.timeAt(0);
        const double to = store.timeAt(store.size() - 1);
        // 100 000 samples in 10 columns: the one-sample spike is still there.
        const auto points = wave_decimation::minMaxColumns(store.snapshot(), from, to, 10);
        bool spike = false;
        for (const Point &p : points[0])
            spike = spike || p.value == 900;
        QVERIFY(spike);
        // No columns, an empty or reversed range: nothing.
        QVERIFY(wave_decimation::minMaxColumns(store.snapshot(), from, to, 0)[0].empty());
        QVERIFY(wave_decimation::minMaxColumns(store.snapshot(), to, from, 10)[0].empty());
        // A curve that is all NaN in the range gives no point.
        WaveStore blank(1);
        const double nan[1] = {kNaN};
        for (int i = 0; i < 10; ++i)
            blank.append(1000.0 * i, nan, 1);
        QVERIFY(wave_decimation::minMaxColumns(blank.snapshot(), 0, 9000, 5)[0].empty());
    }

    // View ranges in seconds over a recording of [0 s, 1000 s].
    void viewRanges_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("arg1");
        QTest::addColumn<double>("arg2");
        QTest::addColumn<double>("wantFrom");
        QTest::addColumn<double>("wantTo");
        QTest::newRow("zoom in keeps the anchor's place")
            << "zoom" << 100.0 << 300.0 << 150.0 << 0.5 << 125.0 << 225.0;
        QTest::newRow("zoom out past the start moves inside")
            << "zoom" << 0.0 << 100.0 << 10.0 << 4.0 << 0.0 << 400.0;
        QTest::newRow("zoom out to all of it, no further")
            << "zoom" << 100.0 << 900.0 << 500.0 << 10.0 << 0.0 << 1000.0;
        QTest::newRow("zoom in stops at 10 s")
            << "zoom" << 495.0 << 507.0 << 500.0 << 0.1 << 495.833333 << 505.833333;
        QTest::newRow("an anchor outside counts at the edge")
            << "zoom" << 100.0 << 200.0 << 5000.0 << 0.5 << 150.0 << 200.0;
        QTest::newRow("a wheel step in") << "wheel" << 0.0 << 500.0 << 0.0 << 1.0 << 0.0 << 400.0;
        QTest::newRow("a wheel step out") << "wheel" << 0.0 << 400.0 << 0.0 << -1.0 << 0.0 << 500.0;
        QTest::newRow("pan within") << "pan" << 100.0 << 200.0 << 50.0 << 0.0 << 150.0 << 250.0;
        QTest::newRow("pan past the end stops there")
            << "pan" << 800.0 << 950.0 << 500.0 << 0.0 << 850.0 << 1000.0;
        QTest::newRow("centred on a moment")
            << "centred" << 0.0 << 0.0 << 500.0 << 600.0 << 200.0 << 800.0;
        QTest::newRow("centred near the start")
            << "centred" << 0.0 << 0.0 << 60.0 << 600.0 << 0.0 << 600.0;
    }
    void viewRanges()
    {
        using namespace look_back;
        QFETCH(QString, rule);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, arg1);
        QFETCH(double, arg2);
        QFETCH(double, wantFrom);
        QFETCH(double, wantTo);
        const double s = 1000; // rules in ms, rows in s
        const Range recording{0, 1000 * s};
        const Range view{from * s, to * s};
        Range got;
        if (rule == "zoom")
            got = zoom(view, arg1 * s, arg2, recording);
        else if (rule == "wheel")
            got = wheel(view, arg1 * s, arg2, recording);
        else if (rule == "pan")
            got = pan(view, arg1 * s, recording);
        else
            got = centred(arg1 * s, arg2 * s, recording);
        QVERIFY2(std::abs(got.fromMs - wantFrom * s) < 1 && std::abs(got.toMs - wantTo * s) < 1,
                 qPrintable(QStringLiteral("%1 .. %2").arg(got.fromMs / s).arg(got.toMs / s)));
    }

    void aShortRecordingIsShownWhole()
    {
        using namespace look_back;
        const Range recording{1000, 5000}; // 4 s, under the 10 s floor
        const Range got = zoom({1000, 5000}, 3000, 0.5, recording);
        QCOMPARE(got.fromMs, 1000.0);
        QCOMPARE(got.toMs, 5000.0);
        // No recording yet: the view stays as it is, and holds no moment.
        const Range none{1, 0};
        QCOMPARE(pan({10, 20}, 5, none).fromMs, 10.0);
        QVERIFY(!recorded(0, none));
        // A moment a little past either end still counts (a line written
        // after the last push); further out it does not.
        QVERIFY(recorded(5000 + kMomentSlackMs, recording));
        QVERIFY(recorded(1000 - kMomentSlackMs, recording));
        QVERIFY(!recorded(5001 + kMomentSlackMs, recording));
    }

    void valueAxisFit()
    {
        using namespace look_back;
        const ValueRange ramp = fitValues(10, 30); // 5 % below, 20 % above
        QCOMPARE(ramp.min, 9.0);
        QCOMPARE(ramp.max, 34.0);
        const ValueRange flat = fitValues(5, 5);
        QCOMPARE(flat.min, 4.0);
        QCOMPARE(flat.max, 6.0);
    }
};

QTEST_APPLESS_MAIN(TestLookBack)
#include "tst_look_back.moc"
