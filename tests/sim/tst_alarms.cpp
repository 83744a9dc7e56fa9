// The alarm word: the pure rules at their limits, and how the model's faults
// reach it and stop emission.

#include "alarm_logic.h"
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
    in.inletLow = in.outletLow = 15;
    in.inletHigh = 35;
    in.outletHigh = 40;
    in.pdExpected = in.pdMeasured = 2000;
    in.pdAlarmThes = 30;
    in.pumpCurrentAlarmThes = 10;
    return in;
}

#define SET(field) [](AlarmInputs &in, int v) { in.field = v; }

} // namespace

class TestAlarms : public QObject {
    Q_OBJECT
private slots:
    // Each condition gives its code (as the program reads it); limits are
    // exclusive, the limit itself is inside.
    void eachConditionAtItsLimit()
    {
        const struct {
            const char *name;
            void (*set)(AlarmInputs &, int);
            int inside, outside, code;
        } cases[] = {{"humidity", SET(ambientHumi), 80, 81, 0x0001},
                     {"inlet high", SET(inletWaterTemp), 350, 351, 0x8100},
                     {"inlet low", SET(inletWaterTemp), 150, 149, 0x8200},
                     {"outlet high", SET(outletWaterTemp), 400, 401, 0x8400},
                     {"outlet low", SET(outletWaterTemp), 150, 149, 0x8800},
                     {"light below 30 % while emitting",
                      [](AlarmInputs &in, int v) {
                          in.emitting = true;
                          in.pdMeasured = v;
                      },
                      600, 599, 0x9000},
                     {"idle current", SET(maxPumpCurrentMa), 1000, 1001, 0xA000},
                     {"bluetooth", SET(bleReady), 1, 0, 0x0002},
                     {"qbh", SET(qbhLink), 1, 0, 0x8010},
                     {"chiller", SET(waterLink), 1, 0, 0x8020},
                     {"estop", SET(emergencyStop), 0, 1, 0xC000}};
        for (const auto &c : cases) {
            AlarmInputs in = calm();
            c.set(in, c.inside);
            QVERIFY2(evaluateAlarms(in) == 0, c.name);
            c.set(in, c.outside);
            QVERIFY2(evaluateAlarms(in) == c.code, c.name);
        }
    }

    void photodiodeAndDriveCurrentDependOnEmission()
    {
        AlarmInputs in = calm();
        in.pdMeasured = 0; // no light expected while not emitting
        QCOMPARE(evaluateAlarms(in), quint16(0));
        in.emitting = true;
        in.pdExpected = 0;           // emitting at zero power: nothing to miss
        in.maxPumpCurrentMa = 12000; // current while emitting is normal
        QCOMPARE(evaluateAlarms(in), quint16(0));
    }

    void conditionsCombine()
    {
        AlarmInputs in = calm();
        in.qbhLink = in.waterLink = false;
        in.inletWaterTemp = 400;
        in.outletWaterTemp = 450;
        QCOMPARE(evaluateAlarms(in), quint16(0x8530));
        in.ambientHumi = 99;
        QCOMPARE(evaluateAlarms(in), quint16(0x8531));
    }

    void stoppingFaultsStopEmissionAndBlockRestart()
    {
        const struct {
            void (*raise)(Faults &);
            int code;
        } cases[] = {{[](Faults &x) { x.waterLinkOpen = true; }, ALARM_WATER_LINK},
                     {[](Faults &x) { x.qbhLinkOpen = true; }, ALARM_QBH_LINK},
                     {[](Faults &x) { x.emergencyStop = true; }, ALARM_EMERGENCY_STOP},
                     {[](Faults &x) { x.inletTemp = 36.0; }, ALARM_IN_WATER_H},
                     {[](Faults &x) { x.outletTemp = 14.0; }, ALARM_OUT_WATER_L}};
        for (const auto &c : cases) {
            ModelFixture f;
            f.startEmission();
            f.advance(500);
            QVERIFY(f.model->emitting());
            c.raise(f.model->faults());
            f.advance(100);
            QVERIFY(!f.model->emitting());
            QCOMPARE(int(f.model->status().alarmState), c.code);
            QVERIFY(f.send(kSetLaserState, bytes({1})).note.contains("refused"));
            QVERIFY(!f.model->emitting());
            f.model->faults() = Faults{};
            f.advance(100);
            QCOMPARE(f.model->alarmState(), quint16(0));
            f.send(kSetLaserState, bytes({1}));
            QVERIFY(f.model->emitting());
        }
    }

    void faultStatesAreReported()
    {
        ModelFixture f;
        f.model->faults().waterLinkOpen = true;
        f.model->faults().emergencyStop = true;
        f.model->faults().bleFailed = true;
        f.advance(10);
        const StatusFields s = f.model->status();
        QCOMPARE(s.waterLink, quint8(0));
        QCOMPARE(s.qbhLink, quint8(1));
        QCOMPARE(s.emergencyStop, quint8(1));
        QCOMPARE(s.bleState, quint8(0));
        QCOMPARE(s.alarmState, quint16(ALARM_WATER_LINK | ALARM_EMERGENCY_STOP | ALARM_BLE_ERROR));
    }

    void newLimitsApplyAtOnce()
    {
        ModelFixture f;
        f.startEmission();
        f.model->faults().humidity = 81; // factory limit is 80
        f.model->faults().inletTemp = 30.0;
        f.advance(500);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_HUMI_OVERHIGH));
        QCOMPARE(f.model->status().ambientHumi, qint16(81));
        QVERIFY(f.model->emitting()); // a warning only
        f.send(kSetAdvancedParam, advancedPayload(false, 90));
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.send(kSetAdvancedParam, advancedPayload(false, 90, 29));
        QCOMPARE(f.model->alarmState(), quint16(ALARM_IN_WATER_H));
        QVERIFY(!f.model->emitting());
    }

    void blindPhotodiodeLocksOnceAndStops()
    {
        ModelFixture f;
        f.model->faults().photodiodeBlind = true;
        f.startEmission();
        f.advance(100); // light is given a moment to appear
        QVERIFY(f.model->emitting());
        QVERIFY(f.model->takeNotices().isEmpty());
        f.advance(200);
        QVERIFY(!f.model->emitting());
        QCOMPARE(f.model->alarmState(), quint16(ALARM_PD_ERROR));
        QCOMPARE(f.model->takeNotices(), QVector<Reply>{Reply::message("PD ERROR LOCK(1)")});
        // The lock holds without a new command, and is announced once.
        f.advance(5000);
        QCOMPARE(f.model->alarmState(), quint16(ALARM_PD_ERROR));
        QVERIFY(f.model->takeNotices().isEmpty());

        // A new start acknowledges the lock; the blind diode locks again.
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(f.model->emitting());
        QCOMPARE(f.model->alarmState(), quint16(0));
        f.advance(300);
        QCOMPARE(f.model->takeNotices(), QVector<Reply>{Reply::message("PD ERROR LOCK(2)")});
        f.send(kResetParam);
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
};

QTEST_GUILESS_MAIN(TestAlarms)
#include "tst_alarms.moc"
