// When the simulated laser emits, on a clock the test moves by hand.

#include "sim_test_support.h"

#include <QtTest>

using namespace sim;

class TestEmission : public QObject {
    Q_OBJECT
private slots:
    void timedEmissionEndsAfterOnMs_data()
    {
        QTest::addColumn<int>("onMs");
        QTest::newRow("0 ms") << 0;
        QTest::newRow("1 ms") << 1;
        QTest::newRow("60000 ms") << 60000;
        QTest::newRow("0xFAA9, one below continuous") << 0xFAA9;
    }

    void timedEmissionEndsAfterOnMs()
    {
        QFETCH(int, onMs);
        ModelFixture f;
        f.startEmission(onMs);
        if (onMs > 0) {
            QCOMPARE(f.model->status().laserOutputting, quint8(1));
            f.advance(onMs - 1);
            QVERIFY(f.model->emitting());
        }
        f.advance(onMs > 0 ? 1 : 0);
        QVERIFY(!f.model->emitting());
        QCOMPARE(f.model->status().laserOutputting, quint8(0));
    }

    void stopEndsEmissionOfEitherKind()
    {
        ModelFixture f;
        f.startEmission();
        for (int i = 0; i < 10; ++i)
            f.advance(3600 * 1000);
        QVERIFY(f.model->emitting());
        f.send(kSetLaserState, bytes({0}));
        QVERIFY(!f.model->emitting());

        f.startEmission(5000);
        f.advance(1000);
        f.send(kSetLaserState, bytes({0}));
        QVERIFY(!f.model->emitting());
        f.advance(10000);
        QVERIFY(!f.model->emitting());
    }

    // Each start begins a new period, of the intLaserOnMs set at that start.
    void eachStartBeginsANewPeriod()
    {
        ModelFixture f;
        f.startEmission(1000);
        f.advance(800);
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, 3000));
        f.advance(199);
        QVERIFY(f.model->emitting());
        f.advance(1);
        QVERIFY(!f.model->emitting());

        f.send(kSetLaserState, bytes({1}));
        f.advance(800);
        f.send(kSetLaserState, bytes({1}));
        f.advance(2999); // 3799 ms after the first start, 2999 after the second
        QVERIFY(f.model->emitting());
        f.advance(1);
        QVERIFY(!f.model->emitting());
    }

    void externalModeFollowsTheDb25Inputs()
    {
        ModelFixture f;
        f.model->setAnalogInput(40);
        f.startEmission();
        f.advance(100);
        QCOMPARE(f.model->status().db25Power, quint8(0)); // not read in internal mode
        f.send(kSetCtrlMod, bytes({0}));
        QVERIFY(!f.model->emitting()); // switching the mode stops emission
        QCOMPARE(f.model->status().db25Power, quint8(40));

        // The laser-state command has no say in external mode.
        QVERIFY(f.send(kSetLaserState, bytes({1})).note.contains("external"));
        QVERIFY(!f.model->emitting());

        f.model->setExternalGate(true);
        f.advance(100);
        QVERIFY(f.model->emitting());
        QVERIFY(qAbs(f.model->status().pumpCurrent[0] - 0.4 * 12000) < 100);
        f.model->setAnalogInput(150); // clamped
        f.advance(100);
        QCOMPARE(f.model->status().db25Power, quint8(100));
        QVERIFY(qAbs(f.model->status().pumpCurrent[0] - 12000) < 200);
        f.advance(3600 * 1000); // no time limit
        QVERIFY(f.model->emitting());
        f.model->setAnalogInput(-3);
        f.model->setExternalGate(false);
        f.advance(100);
        QVERIFY(!f.model->emitting());
        QCOMPARE(f.model->status().db25Power, quint8(0));
        // Switching back to internal control stops emission too.
        f.model->setExternalGate(true);
        f.advance(100);
        QVERIFY(f.model->emitting());
        f.send(kSetCtrlMod, bytes({1}));
        QVERIFY(!f.model->emitting());
    }
};

QTEST_GUILESS_MAIN(TestEmission)
#include "tst_emission.moc"
