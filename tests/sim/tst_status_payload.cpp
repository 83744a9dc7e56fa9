// The status payload as the program expects it, checked byte by byte.

#include "sim_test_support.h"
#include "status_payload.h"

#include <QtTest>

using namespace sim;

namespace {

int u8(const QByteArray &p, int at)
{
    return static_cast<quint8>(p[at]);
}
int le16(const QByteArray &p, int at)
{
    return u8(p, at) | (u8(p, at + 1) << 8);
}

} // namespace

class TestStatusPayload : public QObject {
    Q_OBJECT
private slots:
    void fieldsAtTheirOffsets_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("k");
        QTest::newRow("N=8 K=6") << QByteArray("SN240403") << 6;
        QTest::newRow("N=3 K=1") << QByteArray("A12") << 1;
        QTest::newRow("N=0 K=40") << QByteArray() << 40;
    }

    // Every field a distinct value, so a shifted field cannot pass by accident.
    void fieldsAtTheirOffsets()
    {
        QFETCH(QByteArray, id);
        QFETCH(int, k);
        // clang-format off
        const StatusFields s{ // in wire order
            0x8530, 50, 20, 0x1234, 0xFAAA, 61, -25,                 // alarmState .. ambientTemp
            {1001, 1002, 50000, 1004}, 7, 215, -3, {423, 387}, 1500, // pumpCurrent .. maxPower
            id, QByteArray(k, '\x77'),                               // chipShortId, reservedBlock
            1, 2, 3, 4, 5, 6, 8, 9, 10, 11, -5, 12,                   // mode .. qcwEnable
            0x0A0B, 13, 0x0C0D, 14, 15, 16, 17,                       // pdAlarmThes .. water windows
            {26, 3, 14, 9, 26, 53}, 99};                              // rtcTime, db25Power
        // clang-format on
        const QByteArray p = encodeStatusPayload(s);
        const int n = id.size();
        QCOMPARE(p.size(), 68 + n + k);
        // Multi-byte fields little-endian, signed ones in two's complement.
        QCOMPARE(le16(p, 0), 0x8530);
        QCOMPARE(p.mid(2, 2), bytes({50, 20}));
        QCOMPARE(le16(p, 4), 0x1234);
        QCOMPARE(le16(p, 6), 0xFAAA);
        QCOMPARE(le16(p, 8), 61);
        QCOMPARE(p.mid(10, 2), bytes({0xE7, 0xFF}));
        QCOMPARE(le16(p, 12), 1001);
        QCOMPARE(le16(p, 14), 1002);
        QCOMPARE(le16(p, 16), 50000);
        QCOMPARE(le16(p, 18), 1004);
        QCOMPARE(le16(p, 20), 7);
        QCOMPARE(le16(p, 22), 215);
        QCOMPARE(p.mid(24, 2), bytes({0xFD, 0xFF}));
        QCOMPARE(le16(p, 26), 423);
        QCOMPARE(le16(p, 28), 387);
        QCOMPARE(le16(p, 30), 1500);
        QCOMPARE(le16(p, 32), n);
        QCOMPARE(p.mid(34, n), id);
        QCOMPARE(le16(p, 34 + n), k);
        QCOMPARE(p.mid(36 + n, k), QByteArray(k, '\x77'));
        // mode, a spare byte, framGood .. qcwDuty, qcwFreq (LE32), qcwEnable, pdAlarmThes,
        // humiHigh, pumpCurrentAlarmThes, the water windows, rtcTime, db25Power.
        QCOMPARE(p.mid(36 + n + k).toHex(),
                 QByteArray("0100020304050608090a0bfbffffff0c0b0a0d0d0c0e0f10111a030e091a3563"));
    }
};

QTEST_GUILESS_MAIN(TestStatusPayload)
#include "tst_status_payload.moc"
