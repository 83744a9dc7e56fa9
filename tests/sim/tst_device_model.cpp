// How the simulated controller applies and answers commands, and what it measures.

#include "sim_test_support.h"

#include <QtTest>

using namespace sim;

class TestDeviceModel : public QObject {
    Q_OBJECT
private slots:
    void settingsAreReportedBack()
    {
        ModelFixture f;
        QCOMPARE(f.model->status().mode, quint8(1));
        // The program reads the effect of these from the status.
        QVERIFY(f.send(kSetIntCtrlParam, intCtrlPayload(77, 33, 9999, 60000)).replies.isEmpty());
        QVERIFY(f.send(kSetCtrlMod, bytes({0})).replies.isEmpty());
        QCOMPARE(f.ask(kSetAdvancedParam,
                       advancedPayload(70, 2500, false, 90, 25, 75, 12, 11, 33, 12, 44)),
                 QStringList{"Set advanced param success"});
        const StatusFields s = f.model->status();
        QCOMPARE(s.mode, quint8(0));
        QCOMPARE((QVector<int>{s.intDac, s.intPwmDuty, s.intPwmFreq, s.intLaserOnMs}),
                 (QVector<int>{77, 33, 9999, 60000}));
        QCOMPARE((QVector<int>{s.qcwDuty, s.qcwFreq, s.qcwEnable, s.redPowerLevel, s.pdAlarmThes,
                               s.humiHigh, s.pumpCurrentAlarmThes, s.inletWaterTempLow,
                               s.inletWaterTempHigh, s.outletWaterTempLow, s.outletWaterTempHigh}),
                 (QVector<int>{70, 2500, 0, 90, 25, 75, 12, 11, 33, 12, 44}));
        f.send(kSetCtrlMod, bytes({1}));
        QCOMPARE(f.model->status().mode, quint8(1));
    }

    void qcwSwitchIsAnnouncedOnlyWhenItChanges()
    {
        ModelFixture f;
        const QString ok = "Set advanced param success";
        QCOMPARE(f.ask(kSetAdvancedParam, advancedPayload(true)), (QStringList{ok, "Set qcw on"}));
        QCOMPARE(f.model->status().qcwEnable, quint8(1));
        QCOMPARE(f.ask(kSetAdvancedParam, advancedPayload(true)), QStringList{ok});
        QCOMPARE(f.ask(kSetAdvancedParam, advancedPayload(false)),
                 (QStringList{ok, "Set qcw off"}));
        QCOMPARE(f.ask(kSetAdvancedParam, advancedPayload(false)), QStringList{ok});
        QCOMPARE(f.model->status().qcwEnable, quint8(0));
    }

    void controllerWithoutQcwKeepsItOff()
    {
        DeviceIdentity id;
        id.firmware = "V9.1";
        QCOMPARE(ModelFixture(id).ask(kQueryVersion), QStringList{"DevVer:V9.1-QCW"});
        id.qcwCapable = false;
        ModelFixture f(id);
        QCOMPARE(f.ask(kQueryVersion), QStringList{"DevVer:V9.1"});
        QCOMPARE(f.ask(kSetAdvancedParam, advancedPayload(true)),
                 QStringList{"Set advanced param success"});
        QCOMPARE(f.model->status().qcwEnable, quint8(0));
    }

    // Whole minutes of running and of emission, timed emission counting only its length.
    void useTimeCountsPowerOnAndEmission()
    {
        DeviceIdentity id;
        id.powerOnMinutes = 100;
        id.laserOnMinutes = 5;
        ModelFixture f(id);
        QCOMPARE(f.ask(kQueryUseTime), QStringList{"PwrOn:100mins LasOn:5mins"});
        for (int i = 0; i < 3; ++i) {
            f.startEmission(60000);
            f.advance(45 * 1000);
            f.advance(45 * 1000); // emission ended 15 s into this step
        }
        // 270 s powered, 180 s emitting.
        QCOMPARE(f.ask(kQueryUseTime), QStringList{"PwrOn:104mins LasOn:8mins"});
        f.startEmission();
        f.advance(29 * 1000);
        f.send(kSetLaserState, bytes({0}));
        f.now += 1000; // the query itself brings the count up to date
        QCOMPARE(f.ask(kQueryUseTime), QStringList{"PwrOn:105mins LasOn:8mins"});
    }

    void calibrationTableRoundTrip()
    {
        ModelFixture f;
        const CommandOutcome q = f.send(kQueryCalibTable);
        QCOMPARE(q.replies.size(), 1);
        QCOMPARE(int(q.replies[0].type), int(kCalibTableFrame));
        QCOMPARE(q.replies[0].payload, factoryCalibTable(32));

        QByteArray table;
        for (int i = 0; i < 32; ++i)
            table.append(static_cast<char>(255 - i));
        QCOMPARE(f.ask(kSetCalib, table), QStringList{"Calibrate ok"});
        QCOMPARE(f.send(kQueryCalibTable).replies[0].payload, table);
        for (int length : {0, 31, 33}) {
            QCOMPARE(f.ask(kSetCalib, QByteArray(length, '\x10')), QStringList{"Calibrate failed"});
            QCOMPARE(f.model->calibTable(), table);
        }
    }

    void resetRestoresFactoryValuesAndStops()
    {
        ModelFixture f;
        const auto settings = [&f] {
            const StatusFields s = f.model->status();
            return QVector<int>{s.intDac,
                                s.intPwmDuty,
                                s.intPwmFreq,
                                s.intLaserOnMs,
                                s.qcwEnable,
                                s.qcwDuty,
                                s.qcwFreq,
                                s.redPowerLevel,
                                s.pdAlarmThes,
                                s.humiHigh,
                                s.pumpCurrentAlarmThes,
                                s.inletWaterTempHigh,
                                s.outletWaterTempLow,
                                s.mode};
        };
        const QVector<int> factory = settings();
        f.send(kSetAdvancedParam, advancedPayload(10, 20, true, 30, 40, 50, 60, 20, 30, 20, 30));
        f.send(kSetIntCtrlParam, intCtrlPayload(90, 90, 5000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        QCOMPARE(f.ask(kResetParam), QStringList{"Reset param ok"});
        QVERIFY(!f.model->emitting());
        QCOMPARE(settings(), factory);
        f.send(kSetCtrlMod, bytes({0}));
        f.send(kResetParam);
        QCOMPARE(settings(), factory);
    }

    void malformedCommandsChangeNothing()
    {
        ModelFixture f;
        const CommandOutcome o = f.send(kSetIntCtrlParam, bytes({1, 2, 3}));
        QVERIFY(o.replies.isEmpty());
        QVERIFY(o.note.contains("ignored"));
        QVERIFY(f.send(0x05).replies.isEmpty());
        QVERIFY(f.send(kSetAdvancedParam, QByteArray(13, '\0')).replies.isEmpty());
        QCOMPARE(f.model->status().intDac, quint8(20));
        QCOMPARE(f.model->status().humiHigh, quint8(80));
    }

    void identityAndClockAreReported()
    {
        DeviceIdentity id;
        id.maxPower = 3000;
        id.chipShortId = "AB123456";
        id.reservedLength = 3;
        ModelFixture f(id);
        f.advance(61 * 1000 + 500);
        const StatusFields s = f.model->status();
        QCOMPARE(s.maxPower, quint16(3000));
        QCOMPARE(s.chipShortId, QByteArray("AB123456"));
        QCOMPARE(s.reservedBlock.size(), 3);
        // Started 2026-03-14 09:26:53; 61.5 s later.
        QCOMPARE(s.rtcTime, (std::array<quint8, 6>{26, 3, 14, 9, 27, 54}));
        QCOMPARE(s.framGood + s.rtcGood + s.bleState, 3);
    }

    void measurementsFollowEmission()
    {
        ModelFixture f;
        for (int i = 0; i < 200; ++i) {
            f.advance(500);
            const StatusFields s = f.model->status();
            QVERIFY2(s.ambientTemp > 150 && s.ambientTemp < 350 && s.ambientHumi >= 30 &&
                         s.ambientHumi <= 60 && s.inletWaterTemp > 190 && s.inletWaterTemp < 240 &&
                         s.outletWaterTemp >= s.inletWaterTemp - 5 && s.alarmState == 0,
                     qPrintable(QString::number(i)));
            QCOMPARE(s.pumpCurrent, (std::array<quint16, 4>{}));
            QCOMPARE(s.opticalVals, (std::array<quint16, 2>{}));
            QCOMPARE(s.redCurrent, quint16(15)); // red pilot at the factory level 50
        }
        const StatusFields idle = f.model->status();
        f.send(kSetIntCtrlParam, intCtrlPayload(100, 100, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.advance(60 * 1000);
        const StatusFields hot = f.model->status();
        QVERIFY(hot.inletWaterTemp > idle.inletWaterTemp + 20); // >2 degrees warmer
        QVERIFY(hot.outletWaterTemp > hot.inletWaterTemp + 40); // >4 degrees above inlet
        for (quint16 c : hot.pumpCurrent)
            QVERIFY(c > 11000 && c < 13000);
        QVERIFY(hot.opticalVals[0] > 3800 && hot.opticalVals[1] < hot.opticalVals[0]);
        QCOMPARE(hot.redCurrent, quint16(0));
        // Half the power, half the current and light.
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 100, 1000, kContinuousEmission));
        f.advance(500);
        const StatusFields half = f.model->status();
        QVERIFY(half.pumpCurrent[0] > 5500 && half.pumpCurrent[0] < 6500);
        QVERIFY(half.opticalVals[0] > 1900 && half.opticalVals[0] < 2100);
    }
};

QTEST_GUILESS_MAIN(TestDeviceModel)
#include "tst_device_model.moc"
