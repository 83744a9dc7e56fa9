// How the simulated controller applies and answers commands.

#include "device_model.h"
#include "sim_test_support.h"

#include <QtTest>

using namespace sim;

class TestDeviceModel : public QObject {
    Q_OBJECT
private slots:
    void intCtrlParamsAreReportedBack()
    {
        ModelFixture f;
        const CommandOutcome o = f.send(kSetIntCtrlParam, intCtrlPayload(77, 33, 9999, 60000));
        QVERIFY(o.replies.isEmpty()); // the program reads the effect from the status
        const StatusFields s = f.model->status();
        QCOMPARE(s.intDac, quint8(77));
        QCOMPARE(s.intPwmDuty, quint8(33));
        QCOMPARE(s.intPwmFreq, quint16(9999));
        QCOMPARE(s.intLaserOnMs, quint16(60000));
    }

    void ctrlModSwitchesModeSilently()
    {
        ModelFixture f;
        QCOMPARE(f.model->status().mode, quint8(1));
        QVERIFY(f.send(kSetCtrlMod, bytes({0})).replies.isEmpty());
        QCOMPARE(f.model->status().mode, quint8(0));
        f.send(kSetCtrlMod, bytes({1}));
        QCOMPARE(f.model->status().mode, quint8(1));
    }

    void advancedParamsAreAllReportedBack()
    {
        ModelFixture f;
        const CommandOutcome o = f.send(
            kSetAdvancedParam, advancedPayload(70, 2500, false, 90, 25, 75, 12, 11, 33, 12, 44));
        QCOMPARE(messages(o), QStringList{"Set advanced param success"});
        const StatusFields s = f.model->status();
        QCOMPARE(s.qcwDuty, quint8(70));
        QCOMPARE(s.qcwFreq, 2500);
        QCOMPARE(s.qcwEnable, quint8(0));
        QCOMPARE(s.redPowerLevel, quint8(90));
        QCOMPARE(s.pdAlarmThes, quint16(25));
        QCOMPARE(s.humiHigh, quint8(75));
        QCOMPARE(s.pumpCurrentAlarmThes, quint16(12));
        QCOMPARE(s.inletWaterTempLow, quint8(11));
        QCOMPARE(s.inletWaterTempHigh, quint8(33));
        QCOMPARE(s.outletWaterTempLow, quint8(12));
        QCOMPARE(s.outletWaterTempHigh, quint8(44));
    }

    void qcwSwitchIsAnnouncedOnlyWhenItChanges()
    {
        ModelFixture f;
        const auto set = [&f](bool qcw) {
            return messages(f.send(kSetAdvancedParam,
                                   advancedPayload(50, 1000, qcw, 50, 30, 80, 10, 15, 35, 15, 40)));
        };
        QCOMPARE(set(true), (QStringList{"Set advanced param success", "Set qcw on"}));
        QCOMPARE(f.model->status().qcwEnable, quint8(1));
        QCOMPARE(set(true), QStringList{"Set advanced param success"});
        QCOMPARE(set(false), (QStringList{"Set advanced param success", "Set qcw off"}));
        QCOMPARE(set(false), QStringList{"Set advanced param success"});
    }

    void controllerWithoutQcwKeepsItOff()
    {
        DeviceIdentity id;
        id.qcwCapable = false;
        ModelFixture f(id);
        const CommandOutcome o = f.send(
            kSetAdvancedParam, advancedPayload(50, 1000, true, 50, 30, 80, 10, 15, 35, 15, 40));
        QCOMPARE(messages(o), QStringList{"Set advanced param success"});
        QCOMPARE(f.model->status().qcwEnable, quint8(0));
        const QString version = messages(f.send(kQueryVersion)).value(0);
        QVERIFY(version.startsWith("DevVer:"));
        QVERIFY(!version.contains("QCW"));
    }

    void versionNamesQcw()
    {
        ModelFixture f;
        const QStringList m = messages(f.send(kQueryVersion));
        QCOMPARE(m.size(), 1);
        QVERIFY(m[0].startsWith("DevVer:"));
        QVERIFY(m[0].contains("QCW"));
    }

    void useTimeCountsPowerOnAndEmission()
    {
        DeviceIdentity id;
        id.powerOnMinutes = 100;
        id.laserOnMinutes = 5;
        ModelFixture f(id);
        QCOMPARE(messages(f.send(kQueryUseTime)), QStringList{"PwrOn:100mins LasOn:5mins"});
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.advance(90 * 1000);
        f.send(kSetLaserState, bytes({0}));
        f.advance(60 * 1000);
        // 2.5 minutes powered, 1.5 minutes emitting: whole minutes only.
        QCOMPARE(messages(f.send(kQueryUseTime)), QStringList{"PwrOn:102mins LasOn:6mins"});
        f.time.now += 30 * 1000;
        QCOMPARE(messages(f.send(kQueryUseTime)), QStringList{"PwrOn:103mins LasOn:6mins"});
    }

    void calibrationTableRoundTrip()
    {
        ModelFixture f;
        const CommandOutcome q = f.send(kQueryCalibTable);
        QCOMPARE(q.replies.size(), 1);
        QCOMPARE(int(q.replies[0].type), int(kCalibTableFrame));
        QCOMPARE(q.replies[0].payload.size(), 32);
        QCOMPARE(q.replies[0].payload, f.model->calibTable());

        QByteArray table;
        for (int i = 0; i < 32; ++i)
            table.append(static_cast<char>(255 - i));
        QCOMPARE(messages(f.send(kSetCalib, table)), QStringList{"Calibrate ok"});
        QCOMPARE(f.send(kQueryCalibTable).replies[0].payload, table);
    }

    void calibrationOfTheWrongLengthFails_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << 0;
        QTest::newRow("one short") << 31;
        QTest::newRow("one long") << 33;
    }

    void calibrationOfTheWrongLengthFails()
    {
        QFETCH(int, length);
        ModelFixture f;
        const QByteArray before = f.model->calibTable();
        QCOMPARE(messages(f.send(kSetCalib, QByteArray(length, '\x10'))),
                 QStringList{"Calibrate failed"});
        QCOMPARE(f.model->calibTable(), before);
    }

    void resetRestoresFactoryValuesAndStops()
    {
        ModelFixture f;
        const StatusFields factory = f.model->status();
        f.send(kSetCtrlMod, bytes({1}));
        f.send(kSetIntCtrlParam, intCtrlPayload(90, 90, 5000, kContinuousEmission));
        f.send(kSetAdvancedParam, advancedPayload(10, 20, true, 30, 40, 50, 60, 20, 30, 20, 30));
        f.send(kSetLaserState, bytes({1}));
        QVERIFY(f.model->emitting());
        QCOMPARE(messages(f.send(kResetParam)), QStringList{"Reset param ok"});
        QVERIFY(!f.model->emitting());
        const StatusFields s = f.model->status();
        QCOMPARE(s.intDac, factory.intDac);
        QCOMPARE(s.intLaserOnMs, factory.intLaserOnMs);
        QCOMPARE(s.qcwEnable, factory.qcwEnable);
        QCOMPARE(s.humiHigh, factory.humiHigh);
        QCOMPARE(s.inletWaterTempHigh, factory.inletWaterTempHigh);
        QCOMPARE(s.mode, factory.mode);
    }

    void malformedCommandsChangeNothing()
    {
        ModelFixture f;
        const StatusFields before = f.model->status();
        const CommandOutcome o = f.send(kSetIntCtrlParam, bytes({1, 2, 3}));
        QVERIFY(o.replies.isEmpty());
        QVERIFY(o.note.contains("ignored"));
        QVERIFY(f.send(0x05).replies.isEmpty());
        QVERIFY(f.send(kSetAdvancedParam, QByteArray(13, '\0')).replies.isEmpty());
        const StatusFields after = f.model->status();
        QCOMPARE(after.intDac, before.intDac);
        QCOMPARE(after.humiHigh, before.humiHigh);
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
        QCOMPARE(s.framGood, quint8(1));
        QCOMPARE(s.rtcGood, quint8(1));
        QCOMPARE(s.bleState, quint8(1));
    }

    void measurementsStayPlausibleWhileIdle()
    {
        ModelFixture f;
        for (int i = 0; i < 200; ++i) {
            f.advance(500);
            const StatusFields s = f.model->status();
            QVERIFY2(s.ambientTemp > 150 && s.ambientTemp < 350,
                     qPrintable(QString::number(s.ambientTemp)));
            QVERIFY(s.ambientHumi >= 30 && s.ambientHumi <= 60);
            QVERIFY(s.inletWaterTemp > 190 && s.inletWaterTemp < 240);
            QVERIFY(s.outletWaterTemp >= s.inletWaterTemp - 5);
            QCOMPARE(s.pumpCurrent, (std::array<quint16, 4>{}));
            QCOMPARE(s.opticalVals, (std::array<quint16, 2>{}));
            QCOMPARE(s.redCurrent, quint16(15)); // red pilot at the factory level 50
            QCOMPARE(s.alarmState, quint16(0));
        }
    }

    void emissionHeatsTheWaterAndDrivesThePumps()
    {
        ModelFixture f;
        f.advance(500);
        const StatusFields idle = f.model->status();
        f.send(kSetIntCtrlParam, intCtrlPayload(100, 100, 1000, kContinuousEmission));
        f.send(kSetLaserState, bytes({1}));
        f.advance(60 * 1000);
        const StatusFields hot = f.model->status();
        QVERIFY(hot.inletWaterTemp > idle.inletWaterTemp + 20); // >2 degrees warmer
        QVERIFY(hot.outletWaterTemp > hot.inletWaterTemp + 40); // >4 degrees above inlet
        for (quint16 c : hot.pumpCurrent)
            QVERIFY(c > 11000 && c < 13000);
        QVERIFY(hot.opticalVals[0] > 3800);
        QVERIFY(hot.opticalVals[1] < hot.opticalVals[0]);
        QCOMPARE(hot.redCurrent, quint16(0));

        // Half the power, half the current and light.
        f.send(kSetIntCtrlParam, intCtrlPayload(50, 100, 1000, kContinuousEmission));
        f.advance(500);
        const StatusFields half = f.model->status();
        QVERIFY(half.pumpCurrent[0] > 5500 && half.pumpCurrent[0] < 6500);
        QVERIFY(half.opticalVals[0] > 1900 && half.opticalVals[0] < 2100);

        f.send(kSetLaserState, bytes({0}));
        f.advance(120 * 1000);
        QVERIFY(f.model->status().inletWaterTemp < hot.inletWaterTemp - 20); // cools again
    }
};

QTEST_GUILESS_MAIN(TestDeviceModel)
#include "tst_device_model.moc"
