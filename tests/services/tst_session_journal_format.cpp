// The journal's sample encoding and retention rules, without a database.

#include "services/session_journal_format.h"
#include "wave_test_support.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace journal_format;

namespace {

quint64 bitsOf(double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

QByteArray encoded(double v)
{
    QByteArray out;
    appendValue(out, v);
    return out;
}

// Decodes one value that must take the whole of bytes.
bool decodeAll(const QByteArray &bytes, double *v)
{
    const char *p = bytes.constData();
    return readValue(p, p + bytes.size(), v) && p == bytes.constData() + bytes.size();
}

struct Sample {
    qint64 time;
    std::vector<double> values;
};

std::vector<Sample> readAll(const QByteArray &chunk, qint64 skip, int *count)
{
    std::vector<Sample> out;
    *count = readChunk(chunk, skip, [&out](qint64 t, const double *v, int width) {
        out.push_back({t, std::vector<double>(v, v + width)});
    });
    return out;
}

} // namespace

class TestJournalFormat : public QObject {
    Q_OBJECT
private slots:
    void valuesReadBackBitForBit_data();
    void valuesReadBackBitForBit();
    void randomValuesReadBackBitForBit();
    void deviceReadingsAreShort_data();
    void deviceReadingsAreShort();
    void damagedValuesAreRefused_data();
    void damagedValuesAreRefused();

    void chunkKeepsTimesWidthAndOrder();
    void damagedChunksAreRefused();

    void ledgerKeepsTheNewestCapacity_data();
    void ledgerKeepsTheNewestCapacity();
    void linesExpireAfterSevenDaysFromTheFront();
};

void TestJournalFormat::valuesReadBackBitForBit_data()
{
    QTest::addColumn<double>("value");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("negative zero") << -0.0;
    QTest::newRow("NaN") << nan;
    QTest::newRow("+inf") << inf;
    QTest::newRow("2^53 - 1") << 9007199254740991.0;
    QTest::newRow("2^53") << 9007199254740992.0;
    QTest::newRow("1e21") << 1e21;
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2;
    QTest::newRow("raw 253 * 0.1") << 253 * 0.1;
    QTest::newRow("raw 12345 * 0.001") << 12345 * 0.001;
    QTest::newRow("power 1500 * 33 / 100") << 1500.0 * 33 / 100;
    QTest::newRow("next above 0.5") << std::nextafter(0.5, 1.0);
}

void TestJournalFormat::valuesReadBackBitForBit()
{
    QFETCH(double, value);
    double back = 1234.5;
    QVERIFY(decodeAll(encoded(value), &back));
    if (std::isnan(value))
        QVERIFY(std::isnan(back));
    else
        QCOMPARE(bitsOf(back), bitsOf(value));
}

void TestJournalFormat::randomValuesReadBackBitForBit()
{
    QRandomGenerator rng(wavetest::testSeed(20240611));
    for (int i = 0; i < 200000; ++i) {
        double value = wavetest::awkwardDouble(rng);
        // Readings as the device decoder makes them, too.
        if (i % 3 == 1)
            value = double(int(rng.bounded(65536)) - 32768) * (i % 2 ? 0.1 : 0.001);
        double back;
        QVERIFY(decodeAll(encoded(value), &back));
        if (std::isnan(value))
            QVERIFY(std::isnan(back));
        else if (bitsOf(back) != bitsOf(value))
            QFAIL(qPrintable(QStringLiteral("%1 came back as %2 (seed %3, i %4)")
                                 .arg(value, 0, 'g', 17)
                                 .arg(back, 0, 'g', 17)
                                 .arg(wavetest::testSeed(20240611))
                                 .arg(i)));
    }
}

void TestJournalFormat::deviceReadingsAreShort_data()
{
    // The file size at the cap rests on these: a byte more per value is some
    // 10 MB more for four full charts.
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("bytes");
    QTest::newRow("zero") << 0.0 << 1;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 1;
    QTest::newRow("photodiode 400") << 400.0 << 2;
    QTest::newRow("photodiode 2000") << 2000.0 << 3;
    QTest::newRow("temperature 25.3 as decoded") << 253 * 0.1 << 2;
    QTest::newRow("temperature -5.7 as decoded") << -57 * 0.1 << 2;
    QTest::newRow("current 12.345 A as decoded") << 12345 * 0.001 << 3;
    QTest::newRow("power 247.5 W") << 1500.0 * 16.5 / 100 << 3;
    QTest::newRow("power 495 W") << 1500.0 * 33 / 100 << 2;
    QTest::newRow("anything else: 9 bytes") << 1.0 / 3 << 9;
}

void TestJournalFormat::deviceReadingsAreShort()
{
    QFETCH(double, value);
    QFETCH(int, bytes);
    QCOMPARE(encoded(value).size(), bytes);
}

void TestJournalFormat::damagedValuesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("varint cut short") << QByteArray("\x80", 1);
    QTest::newRow("unknown form 14") << QByteArray("\x0e", 1);
    QTest::newRow("unknown form 15") << QByteArray("\x0f", 1);
    QTest::newRow("raw with 7 bytes") << QByteArray("\x0d\x01\x02\x03\x04\x05\x06\x07", 8);
    QTest::newRow("NaN with a payload") << QByteArray("\x1c", 1);
    // zigzag payload 2^53 (form 0): beyond the exact integers.
    QByteArray big;
    appendVarint(big, (quint64(1) << 54) << 4);
    QTest::newRow("integer of 2^53") << big;
    QTest::newRow("varint over 64 bits")
        << QByteArray("\xff\xff\xff\xff\xff\xff\xff\xff\xff\x7f", 10);
}

void TestJournalFormat::damagedValuesAreRefused()
{
    QFETCH(QByteArray, bytes);
    double v;
    const char *p = bytes.constData();
    QVERIFY(!readValue(p, p + bytes.size(), &v));
    QVERIFY(p <= bytes.constData() + bytes.size());
}

void TestJournalFormat::chunkKeepsTimesWidthAndOrder()
{
    ChunkWriter chunk(3);
    const double a[] = {1.5, -2, 253 * 0.1};
    const double b[] = {7, 8};       // one short: NaN
    const double c[] = {1, 2, 3, 4}; // one over: ignored
    chunk.append(1700000000000, a, 3);
    chunk.append(1700000000500, b, 2);
    chunk.append(1699999999000, c, 4); // the clock went back
    QCOMPARE(chunk.count(), 3);
    QCOMPARE(chunk.firstMs(), qint64(1700000000000));
    QCOMPARE(chunk.lastMs(), qint64(1699999999000));

    int count = 0;
    const std::vector<Sample> samples = readAll(chunk.data(), 0, &count);
    QCOMPARE(count, 3);
    QCOMPARE(int(samples.size()), 3);
    QCOMPARE(samples[0].time, qint64(1700000000000));
    QCOMPARE(samples[1].time, qint64(1700000000500));
    QCOMPARE(samples[2].time, qint64(1699999999000));
    for (const Sample &s : samples)
        QCOMPARE(int(s.values.size()), 3);
    QCOMPARE(samples[0].values, std::vector<double>({1.5, -2, 253 * 0.1}));
    QCOMPARE(samples[1].values[1], 8.0);
    QVERIFY(std::isnan(samples[1].values[2]));
    QCOMPARE(samples[2].values, std::vector<double>({1, 2, 3}));
}

void TestJournalFormat::damagedChunksAreRefused()
{
    ChunkWriter chunk(2);
    const double v[] = {1.0 / 3, 25.3};
    for (int i = 0; i < 5; ++i)
        chunk.append(1700000000000 + 500 * i, v, 2);
    const QByteArray good = chunk.data();
    int count = 0;
    readAll(good, 0, &count);
    QCOMPARE(count, 5);

    // Every cut inside the data fails or yields fewer whole samples; none
    // reads past the end (the address sanitizer would tell).
    for (int cut = 0; cut < good.size(); ++cut) {
        const QByteArray shorter = good.left(cut);
        readAll(shorter, 0, &count);
        QVERIFY2(count < 5, qPrintable(QString::number(cut)));
    }
    QCOMPARE(readChunk(QByteArray(), 0, [](qint64, const double *, int) {}), -1);
    // A width beyond the data's size cannot be.
    QByteArray wide;
    appendVarint(wide, 1000);
    QCOMPARE(readChunk(wide, 0, [](qint64, const double *, int) {}), -1);
}

void TestJournalFormat::ledgerKeepsTheNewestCapacity_data()
{
    QTest::addColumn<QVector<qint64>>("chunks"); // sample counts, oldest first
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<int>("expired");
    QTest::addColumn<qint64>("surplus");
    QTest::newRow("empty") << QVector<qint64>{} << qint64(10) << 0 << qint64(0);
    QTest::newRow("below the cap") << QVector<qint64>{4, 4} << qint64(10) << 0 << qint64(0);
    QTest::newRow("exactly the cap") << QVector<qint64>{5, 5} << qint64(10) << 0 << qint64(0);
    QTest::newRow("one over: the first chunk stays")
        << QVector<qint64>{5, 5, 1} << qint64(10) << 0 << qint64(1);
    QTest::newRow("a whole chunk over") << QVector<qint64>{5, 5, 5} << qint64(10) << 1 << qint64(5);
    QTest::newRow("two chunks over, one partly")
        << QVector<qint64>{3, 3, 5, 5} << qint64(10) << 2 << qint64(6);
    QTest::newRow("cap inside the newest chunk")
        << QVector<qint64>{100, 100, 100} << qint64(1) << 2 << qint64(299);
    QTest::newRow("cap 0: everything") << QVector<qint64>{2, 3} << qint64(0) << 2 << qint64(5);
    QTest::newRow("negative cap: everything") << QVector<qint64>{2} << qint64(-4) << 1 << qint64(2);
}

void TestJournalFormat::ledgerKeepsTheNewestCapacity()
{
    QFETCH(QVector<qint64>, chunks);
    QFETCH(qint64, capacity);
    QFETCH(int, expired);
    QFETCH(qint64, surplus);
    ChunkLedger ledger;
    qint64 row = 40;
    for (qint64 n : chunks) {
        ledger.addChunk(row++, 1);
        ledger.addToNewest(n - 1);
    }
    QCOMPARE(ledger.expired(capacity), expired);
    QCOMPARE(ledger.surplus(capacity), surplus);
    const qint64 before = ledger.total();
    ledger.dropOldest(expired);
    QCOMPARE(ledger.size(), chunks.size() - expired);
    QVERIFY(ledger.total() >= qMin(before, qMax<qint64>(0, capacity)));
    if (!ledger.isEmpty())
        QCOMPARE(ledger.rowAt(0), qint64(40 + expired));
    QCOMPARE(ledger.expired(capacity), capacity <= 0 ? ledger.size() : 0);
}

void TestJournalFormat::linesExpireAfterSevenDaysFromTheFront()
{
    const qint64 now = 1700000000000;
    const qint64 week = kLineMaxAgeMs;
    QCOMPARE(expiredLines({}, now), 0);
    // Exactly seven days old is still kept.
    QCOMPARE(expiredLines({now - week}, now), 0);
    QCOMPARE(expiredLines({now - week - 1}, now), 1);
    QCOMPARE(expiredLines({now - 2 * week, now - week - 1, now - week, now - 1}, now), 2);
    // A younger line ends the run: the kept rows stay consecutive.
    QCOMPARE(expiredLines({now - 2 * week, now - 1000, now - 3 * week}, now), 1);
    // Rows over the count limit: none until the limit is passed.
    QVERIFY(lastRowOverLimit(kMaxLines, kMaxLines) < 1);
    QCOMPARE(lastRowOverLimit(kMaxLines + 5, kMaxLines), qint64(5));
}

QTEST_GUILESS_MAIN(TestJournalFormat)
#include "tst_session_journal_format.moc"
