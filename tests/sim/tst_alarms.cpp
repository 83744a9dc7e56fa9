// The alarm word: the pure rules at their limits, and how the model's faults
// reach it and stop emission.

#include "alarm_logic.h"
#include "device_model.h"
#include "sim_test_support.h"

#include <QtTest>

using namespace sim;

namespace {

// Inputs that raise nothing.
AlarmInputs calm()
{
    AlarmInputs in;
    in.ambientHumi = 45;
    in.humiHigh = 80;
    in.inletWaterTemp = 220;
    in.outletWaterTemp = 250;
    in.inletLow = 15;
    in.inletHigh = 35;
    in.outletLow = 15;
    in.outletHigh = 40;
    in.pdAlarmThes = 30;
    in.pumpCurrentAlarmThes = 10;
    return in;
}

} // namespace

class TestAlarms : public QObject {
    Q_OBJECT
private slots:
    void calmInputsGiveNoAlarm() { QCOMPARE(evaluateAlarms(calm()), quint16(ALARM_OK)); }

    void eachConditionGivesItsCode_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("expected");
        QTest::newRow("humidity above limit") << 0 << int(ALARM_HUMI_OVERHIGH);
        QTest::newRow("bluetooth failed") << 1 << int(ALARM_BLE_ERROR);
        QTest::newRow("qbh open") << 2 << int(ALARM_QBH_LINK);
        QTest::newRow("chiller open") << 3 << int(ALARM_WATER_LINK);
        QTest::newRow("inlet high") << 4 << int(ALARM_IN_WATER_H);
        QTest::newRow("inlet low") << 5 << int(ALARM_IN_WATER_L);
        QTest::newRow("outlet high") << 6 << int(ALARM_OUT_WATER_H);
        QTest::newRow("outlet low") << 7 << int(ALARM_OUT_WATER_L);
        QTest::newRow("no light while emitting") << 8 << int(ALARM_PD_ERROR);
        QTest::newRow("current while not emitting") << 9 << int(ALARM_DRV_CURRENT_ERROR);
        QTest::newRow("emergency stop") << 10 << int(ALARM_EMERGENCY_STOP);
    }

    void eachConditionGivesItsCode()
    {
        QFETCH(int, which);
        QFETCH(int, expected);
        AlarmInputs in = calm();
        switch (which) {
        case 0:
            in.ambientHumi = 81;
            break;
        case 1:
            in.bleReady = false;
            break;
        case 2:
            in.qbhLink = false;
            break;
        case 3:
            in.waterLink = false;
            break;
        case 4:
            in.inletWaterTemp = 351;
            break;
        case 5:
            in.inletWaterTemp = 149;
            break;
        case 6:
            in.outletWaterTemp = 401;
            break;
        case 7:
            in.outletWaterTemp = 149;
            break;
        case 8:
            in.emitting = true;
            in.pdExpected = 2000;
            in.pdMeasured = 599;
            break;
        case 9:
            in.maxPumpCurrentMa = 1001;
            break;
        case 10:
            in.emergencyStop = true;
            break;
        }
        QCOMPARE(int(evaluateAlarms(in)), expected);
    }

    void limitsThemselvesAreInside()
    {
        AlarmInputs in = calm();
        in.ambientHumi = 80;
        in.inletWaterTemp = 350;
        in.outletWaterTemp = 400;
        QCOMPARE(evaluateAlarms(in), quint16(0));
        in.inletWaterTemp = 150;
        in.outletWaterTemp = 150;
        QCOMPARE(evaluateAlarms(in), quint16(0));
        in.emitting = true;
        in.pdExpected = 2000;
        in.pdMeasured = 600; // exactly 30 %
        QCOMPARE(evaluateAlarms(in), quint16(0));
        in.emitting = false;
        in.maxPumpCurrentMa = 1000; // exactly 1.0 A
        QCOMPARE(evaluateAlarms(in), quint16(0));
    }

    void photodiodeAndDriveCurrentDependOnEmission()
    {
        AlarmInputs in = calm();
        in.pdExpected = 2000;
        in.pdMeasured = 0;
        QCOMPARE(evaluateAlarms(in), quint16(0)); // not emitting: no light expected
        in.emitting = true;
        in.pdExpected = 0; // emitting at zero power: nothing to miss
        QCOMPARE(evaluateAlarms(in), quint16(0));
        in.maxPumpCurrentMa = 12000; // current while emitting is normal
        QCOMPARE(evaluateAlarms(in), quint16(0));
    }

    void conditionsCombine()
    {
        AlarmInputs in = calm();
        in.qbhLink = false;
        in.waterLink = false;
        in.inletWaterTemp = 400;
        in.outletWaterTemp = 450;
        QCOMPARE(evaluateAlarms(in), quint16(0x8530));
        in.ambientHumi = 99;
        QCOMPARE(evaluateAlarms(in), quint16(0x8531));
    }

    void stoppingFaultsStopEmissionAndBlockRestart_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::newRow("chiller") << "chiller" << int(ALARM_WATER_LINK);
        QTest::newRow("qbh") << "qbh" << int(ALARM_QBH_LINK);
        QTest::newRow("estop") << "estop" << int(ALARM_EMERGENCY_STOP);
        QTest::newRow("inlet hot") << "inlet" << int(ALARM_IN_WATER_H);
        QTest::newRow("outlet cold") << "outlet" << int(ALARM_OUT_WATER_L);
    }

    void stoppingFaultsStopEmissionAndBlockRestart()
    {
        QFETCH(QString, fault);
        QFETCH(int, code);
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.advance(500);
        QVERIFY(f.model->emitting());
        Faults &x = f.model->faults();
        if (fault == "chiller")
            x.waterLinkOpen = true;
        else if (fault == "qbh")
            x.qbhLinkOpen = true;
        else if (fault == "estop")
            x.emergencyStop = true;
        else if (fault == "inlet")
            x.inletTemp = 36.0;
        else
            x.outletTemp = 14.0;
        f.advance(100);
        QVERIFY(!f.model->emitting());
        QCOMPARE(int(f.model->alarmState()), code);
        QCOMPARE(int(f.model->status().alarmState), code);

        const CommandOutcome o = f.send(kSetLaserState, bytes({1}));
        QVERIFY(!f.model->emitting());
        QVERIFY(o.note.contains("refused"));

        f.model->faults() = Faults{};
        f.advance(100);
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(f.model->emitting());
    }

    void interlockStatesAreReported()
    {
        ModelFixture f;
        f.model->faults().waterLinkOpen = true;
        f.model->faults().emergencyStop = true;
        f.advance(10);
        const StatusFields s = f.model->status();
        QCOMPARE(s.waterLink, quint8(0));
        QCOMPARE(s.qbhLink, quint8(1));
        QCOMPARE(s.emergencyStop, quint8(1));
        QCOMPARE(s.alarmState, quint16(ALARM_WATER_LINK | ALARM_EMERGENCY_STOP));
    }

    void humidityWarnsWithoutStopping()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.model->faults().humidity = 81; // factory limit is 80
        f.advance(500);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_HUMI_OVERHIGH));
        QCOMPARE(f.model->status().ambientHumi, qint16(81));
        QVERIFY(f.model->emitting());
        // A raised limit clears it.
        f.send(kSetAdvancedParam, advancedPayload(50, 1000, false, 50, 30, 90, 10, 15, 35, 15, 40));
        QCOMPARE(f.model->alarmState(), quint16(0));
    }

    void newWindowsApplyAtOnce()
    {
        ModelFixture f;
        f.model->faults().inletTemp = 30.0;
        f.advance(10);
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.send(kSetAdvancedParam, advancedPayload(50, 1000, false, 50, 30, 80, 10, 15, 29, 15, 40));
        QCOMPARE(f.model->alarmState(), quint16(ALARM_IN_WATER_H));
    }

    void blindPhotodiodeLocksOnceAndStops()
    {
        ModelFixture f;
        f.model->faults().photodiodeBlind = true;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.advance(100); // light is given a moment to appear
        QVERIFY(f.model->emitting());
        QVERIFY(f.model->takeNotices().isEmpty());
        f.advance(200);
        QVERIFY(!f.model->emitting());
        QCOMPARE(f.model->alarmState(), quint16(ALARM_PD_ERROR));
        const QVector<Reply> notices = f.model->takeNotices();
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0], Reply::message("PD ERROR LOCK(1)"));
        // The lock holds without a new command.
        f.advance(5000);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_PD_ERROR));
        QVERIFY(f.model->takeNotices().isEmpty());

        // A new start acknowledges the lock; the blind diode locks again.
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(f.model->emitting());
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.advance(300);
        QCOMPARE(f.model->takeNotices(), QVector<Reply>{Reply::message("PD ERROR LOCK(2)")});

        // Stopping acknowledges too; with the diode mended emission holds.
        f.send(kSetLaserState, bytes({0}));
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.model->faults().photodiodeBlind = false;
        f.send(kSetLaserState, bytes({1}));
        f.advance(1000);
        QVERIFY(f.model->emitting());
        QCOMPARE(f.model->alarmState(), quint16(0));
    }

    void leakingDriverBlocksEmission()
    {
        ModelFixture f;
        f.model->faults().leakCurrent = 0.9; // below the factory 1.0 A threshold
        f.advance(10);
        QCOMPARE(f.model->alarmState(), quint16(0));
        QVERIFY(f.model->status().pumpCurrent[0] > 850);
        f.model->faults().leakCurrent = 3.0;
        f.advance(10);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_DRV_CURRENT_ERROR));
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(!f.model->emitting());
    }

    void resetClearsAPhotodiodeLock()
    {
        ModelFixture f;
        f.model->faults().photodiodeBlind = true;
        f.send(kSetLaserState, bytes({1}));
        f.advance(300);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_PD_ERROR));
        f.send(kResetParam);
        QCOMPARE(f.model->alarmState(), quint16(0));
    }

    void bluetoothFailureIsReported()
    {
        ModelFixture f;
        f.model->faults().bleFailed = true;
        f.advance(10);
        QCOMPARE(f.model->status().bleState, quint8(0));
        QCOMPARE(f.model->alarmState(), quint16(ALARM_BLE_ERROR));
    }
};

QTEST_GUILESS_MAIN(TestAlarms)
#include "tst_alarms.moc"
