// When the simulated laser emits, on a clock the test moves by hand.

#include "device_model.h"
#include "sim_test_support.h"

#include <QtTest>

using namespace sim;

class TestEmission : public QObject {
    Q_OBJECT
private slots:
    void timedEmissionEndsAfterOnMs_data()
    {
        QTest::addColumn<int>("onMs");
        QTest::newRow("1 ms") << 1;
        QTest::newRow("1000 ms") << 1000;
        QTest::newRow("60000 ms") << 60000;
        QTest::newRow("0xFAA9, one below continuous") << 0xFAA9;
    }

    void timedEmissionEndsAfterOnMs()
    {
        QFETCH(int, onMs);
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, onMs));
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(f.model->emitting());
        QCOMPARE(f.model->status().laserOutputting, quint8(1));
        f.advance(onMs - 1);
        QVERIFY(f.model->emitting());
        f.advance(1);
        QVERIFY(!f.model->emitting());
        QCOMPARE(f.model->status().laserOutputting, quint8(0));
    }

    void zeroOnMsGivesNoLastingEmission()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 0));
        f.send(kSetLaserState, bytes({1}));
        f.advance(0);
        QVERIFY(!f.model->emitting());
    }

    void continuousEmissionRunsUntilStopped()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        for (int i = 0; i < 10; ++i)
            f.advance(3600 * 1000);
        QVERIFY(f.model->emitting());
        f.send(kSetLaserState, bytes({0}));
        QVERIFY(!f.model->emitting());
    }

    void stopEndsTimedEmissionEarly()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 5000));
        f.send(kSetLaserState, bytes({1}));
        f.advance(1000);
        f.send(kSetLaserState, bytes({0}));
        QVERIFY(!f.model->emitting());
        f.advance(10000);
        QVERIFY(!f.model->emitting());
    }

    void restartBeginsANewPeriod()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 1000));
        f.send(kSetLaserState, bytes({1}));
        f.advance(800);
        f.send(kSetLaserState, bytes({1}));
        f.advance(800); // 1600 ms after the first start, 800 after the second
        QVERIFY(f.model->emitting());
        f.advance(200);
        QVERIFY(!f.model->emitting());
    }

    void newOnMsAppliesToTheNextStart()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 1000));
        f.send(kSetLaserState, bytes({1}));
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 3000));
        f.advance(1000);
        QVERIFY(!f.model->emitting());
        f.send(kSetLaserState, bytes({1}));
        f.advance(2999);
        QVERIFY(f.model->emitting());
    }

    void emissionTimeIsCountedOnlyWhileEmitting()
    {
        DeviceIdentity id;
        id.laserOnMinutes = 0;
        ModelFixture f(id);
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 60000));
        for (int i = 0; i < 3; ++i) {
            f.send(kSetLaserState, bytes({1}));
            f.advance(45 * 1000);
            f.advance(45 * 1000); // emission ended 15 s into this step
        }
        QCOMPARE(f.model->laserOnMinutes(), 3);
    }

    void switchingModeStopsEmission()
    {
        ModelFixture f;
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.send(kSetCtrlMod, bytes({0}));
        QVERIFY(!f.model->emitting());
    }

    void externalModeFollowsTheDb25Inputs()
    {
        ModelFixture f;
        f.model->setAnalogInput(40);
        f.advance(100);
        QCOMPARE(f.model->status().db25Power, quint8(0)); // not read in internal mode
        f.send(kSetCtrlMod, bytes({0}));
        QCOMPARE(f.model->status().db25Power, quint8(40));
        QVERIFY(!f.model->emitting());

        // The laser-state command has no say in external mode.
        const CommandOutcome o = f.send(kSetLaserState, bytes({1}));
        QVERIFY(o.note.contains("external"));
        QVERIFY(!f.model->emitting());

        f.model->setExternalGate(true);
        f.advance(100);
        QVERIFY(f.model->emitting());
        QVERIFY(qAbs(f.model->status().pumpCurrent[0] - 0.4 * 12000) < 100);
        f.model->setAnalogInput(80);
        f.advance(100);
        QCOMPARE(f.model->status().db25Power, quint8(80));
        QVERIFY(qAbs(f.model->status().pumpCurrent[0] - 0.8 * 12000) < 100);
        f.advance(3600 * 1000); // no time limit
        QVERIFY(f.model->emitting());
        f.model->setExternalGate(false);
        f.advance(100);
        QVERIFY(!f.model->emitting());
    }

    void analogInputIsClamped()
    {
        ModelFixture f;
        f.send(kSetCtrlMod, bytes({0}));
        f.model->setAnalogInput(150);
        f.advance(1);
        QCOMPARE(f.model->status().db25Power, quint8(100));
        f.model->setAnalogInput(-3);
        f.advance(1);
        QCOMPARE(f.model->status().db25Power, quint8(0));
    }
};

QTEST_GUILESS_MAIN(TestEmission)
#include "tst_emission.moc"
