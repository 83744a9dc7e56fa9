// The status payload as the program expects it, checked byte by byte.

#include "device_model.h"
#include "sim_test_support.h"
#include "status_payload.h"

#include "protocol/status_record.h"

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
qint32 le32(const QByteArray &p, int at)
{
    return static_cast<qint32>(static_cast<quint32>(le16(p, at)) |
                               (static_cast<quint32>(le16(p, at + 2)) << 16));
}

// Every field a distinct value, so a shifted field cannot pass by accident.
StatusFields distinctFields(const QByteArray &id, int k)
{
    StatusFields s;
    s.alarmState = 0x8530;
    s.intDac = 50;
    s.intPwmDuty = 20;
    s.intPwmFreq = 0x1234;
    s.intLaserOnMs = 0xFAAA;
    s.ambientHumi = 61;
    s.ambientTemp = -25;
    s.pumpCurrent = {1001, 1002, 50000, 1004};
    s.redCurrent = 7;
    s.inletWaterTemp = 215;
    s.outletWaterTemp = -3;
    s.opticalVals = {423, 387};
    s.maxPower = 1500;
    s.chipShortId = id;
    s.reservedBlock = QByteArray(k, '\x77');
    s.mode = 1;
    s.framGood = 2;
    s.rtcGood = 3;
    s.laserOutputting = 4;
    s.qbhLink = 5;
    s.waterLink = 6;
    s.emergencyStop = 8;
    s.bleState = 9;
    s.redPowerLevel = 10;
    s.qcwDuty = 11;
    s.qcwFreq = -5;
    s.qcwEnable = 12;
    s.pdAlarmThes = 0x0A0B;
    s.humiHigh = 13;
    s.pumpCurrentAlarmThes = 0x0C0D;
    s.inletWaterTempLow = 14;
    s.inletWaterTempHigh = 15;
    s.outletWaterTempLow = 16;
    s.outletWaterTempHigh = 17;
    s.rtcTime = {26, 3, 14, 9, 26, 53};
    s.db25Power = 99;
    return s;
}

} // namespace

class TestStatusPayload : public QObject {
    Q_OBJECT
private slots:
    void fixedFieldsAtTheirOffsets()
    {
        const QByteArray p = encodeStatusPayload(distinctFields("SN240403", 6));
        QCOMPARE(p.size(), 82); // 68 + N + K with N = 8, K = 6
        QCOMPARE(le16(p, 0), 0x8530);
        QCOMPARE(u8(p, 2), 50);
        QCOMPARE(u8(p, 3), 20);
        QCOMPARE(le16(p, 4), 0x1234);
        QCOMPARE(le16(p, 6), 0xFAAA);
        QCOMPARE(le16(p, 8), 61);
        QCOMPARE(p.mid(10, 2), bytes({0xE7, 0xFF})); // -25, little-endian two's complement
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
        QCOMPARE(le16(p, 32), 8);
        QCOMPARE(p.mid(34, 8), QByteArray("SN240403"));
        QCOMPARE(le16(p, 42), 6);
        QCOMPARE(p.mid(44, 6), QByteArray(6, '\x77'));
    }

    void tailFieldsFollowTheCountedBlocks_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("k");
        QTest::newRow("N=8 K=6") << QByteArray("SN240403") << 6;
        QTest::newRow("N=3 K=1") << QByteArray("A12") << 1;
        QTest::newRow("N=0 K=40") << QByteArray() << 40;
        QTest::newRow("N=12 K=2") << QByteArray("LONGDEVICEID") << 2;
    }

    void tailFieldsFollowTheCountedBlocks()
    {
        QFETCH(QByteArray, id);
        QFETCH(int, k);
        const QByteArray p = encodeStatusPayload(distinctFields(id, k));
        const int n = id.size();
        const int b = 36 + n + k;
        QCOMPARE(p.size(), 68 + n + k);
        QCOMPARE(le16(p, 32), n);
        QCOMPARE(le16(p, 34 + n), k);
        QCOMPARE(u8(p, b), 1);       // mode
        QCOMPARE(u8(p, b + 1), 0);   // spare
        QCOMPARE(u8(p, b + 2), 2);   // framGood
        QCOMPARE(u8(p, b + 3), 3);   // rtcGood
        QCOMPARE(u8(p, b + 4), 4);   // laserOutputting
        QCOMPARE(u8(p, b + 5), 5);   // qbhLink
        QCOMPARE(u8(p, b + 6), 6);   // waterLink
        QCOMPARE(u8(p, b + 7), 8);   // emergencyStop
        QCOMPARE(u8(p, b + 8), 9);   // bleState
        QCOMPARE(u8(p, b + 9), 10);  // redPowerLevel
        QCOMPARE(u8(p, b + 10), 11); // qcwDuty
        QCOMPARE(le32(p, b + 11), -5);
        QCOMPARE(u8(p, b + 15), 12); // qcwEnable
        QCOMPARE(le16(p, b + 16), 0x0A0B);
        QCOMPARE(u8(p, b + 18), 13);
        QCOMPARE(le16(p, b + 19), 0x0C0D);
        QCOMPARE(p.mid(b + 21, 4), bytes({14, 15, 16, 17}));
        QCOMPARE(p.mid(b + 25, 6), bytes({26, 3, 14, 9, 26, 53}));
        QCOMPARE(u8(p, b + 31), 99);
        QCOMPARE(p.size(), b + 32);
    }

    // The program's decoder reads what the simulator writes.
    void programDecodesTheModelsPayload()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(60, 40, 2000, 0xFAAA));
        f.send(kSetLaserState, bytes({1}));
        f.advance(3000);
        const StatusFields s = f.model->status();
        const auto rec = parseDevInfo(f.model->statusPayload());
        QVERIFY(rec.has_value());
        QCOMPARE(rec->intDac, quint8(60));
        QCOMPARE(rec->intPwmDuty, quint8(40));
        QCOMPARE(rec->intPwmFreq, quint16(2000));
        QCOMPARE(rec->intLaserOnMs, quint16(0xFAAA));
        QCOMPARE(rec->laserOutputting, quint8(1));
        QCOMPARE(rec->maxPower, quint16(1500));
        QCOMPARE(QByteArray(rec->chipShortId), QByteArray("SN240403"));
        QCOMPARE(rec->pumpCurrent[2], s.pumpCurrent[2]);
        QCOMPARE(rec->inletWaterTemp, s.inletWaterTemp);
        QCOMPARE(rec->qcwFreq, s.qcwFreq);
        QCOMPARE(rec->db25Power, s.db25Power);
        QCOMPARE(rec->rtcTime[5], s.rtcTime[5]);
    }
};

QTEST_GUILESS_MAIN(TestStatusPayload)
#include "tst_status_payload.moc"
