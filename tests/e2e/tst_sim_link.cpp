// The program's link against the simulated controller over a pseudo-terminal:
// status records arrive, every command has its effect, and the simulator's
// log shows exactly what was sent.

#include "sim_process.h"

#include "link/communication.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

constexpr int kWaitMs = 4000;

} // namespace

class TestSimLink : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QProcess sim;
    QString path;
    Communication *link = nullptr;
    QJsonObject latest;
    QStringList messages;
    QVariantList calibTable;
    int calibTables = 0;
    QStringList sentNames; // what the log must show, in order

    // Waits until a record received from now on satisfies the condition.
    bool waitForRecord(const std::function<bool(const QJsonObject &)> &condition, int ms = kWaitMs)
    {
        QSignalSpy spy(link, &Communication::dataReceived);
        QElapsedTimer t;
        t.start();
        int seen = 0;
        while (t.elapsed() < ms) {
            if (spy.size() == seen)
                spy.wait(100);
            for (; seen < spy.size(); ++seen)
                if (condition(spy.at(seen).at(0).toJsonObject()))
                    return true;
        }
        return false;
    }

    bool waitForMessage(const QString &text, int ms = kWaitMs)
    {
        QElapsedTimer t;
        t.start();
        while (!messages.contains(text) && t.elapsed() < ms)
            QTest::qWait(20);
        return messages.contains(text);
    }

    void console(const QByteArray &line)
    {
        sim.write(line + '\n');
        sim.waitForBytesWritten(1000);
    }

private slots:
    void initTestCase()
    {
        path = startSimulator(
            sim, {"--period", "100", "--seed", "5", "--log", dir.filePath("cmds.jsonl")}, false);
        QVERIFY2(path.startsWith("/dev/"), qPrintable(sim.readAllStandardError()));
        link = Communication::getInstance();
        connect(link, &Communication::dataReceived, this, [this](QJsonObject o) { latest = o; });
        connect(link, &Communication::msgReceived, this, [this](QString m) { messages << m; });
        connect(link, &Communication::calibTableReceived, this, [this](QVariantList t) {
            calibTable = t;
            ++calibTables;
        });
        QVERIFY(link->open(path));
        QVERIFY(link->isOpen());
    }

    void cleanupTestCase()
    {
        if (link)
            link->close();
        stopSimulator(sim);
    }

    void statusRecordsArrive()
    {
        QVERIFY(waitForRecord([](const QJsonObject &o) { return !o.isEmpty(); }));
        QSignalSpy spy(link, &Communication::dataReceived);
        QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 3, kWaitMs); // keeps coming
        const QJsonObject o = spy.last().at(0).toJsonObject();
        QCOMPARE(o.size(), 35);
        QCOMPARE(o.value("maxPower").toInt(), 1500);
        QCOMPARE(o.value("chipShortId").toString(), QString("SN240403"));
        QCOMPARE(o.value("mode").toInt(), 1);
        QCOMPARE(o.value("alarmState").toInt(), 0);
        QCOMPARE(o.value("waterLink").toInt(), 1);
        const double inlet = o.value("inletWaterTemp").toDouble();
        QVERIFY(inlet > 15 && inlet < 30);
        const QJsonArray rtc = o.value("rtcTime").toArray();
        QCOMPARE(rtc.size(), 6);
        QCOMPARE(rtc[0].toInt(), QDate::currentDate().year() - 2000);
        QCOMPARE(rtc[1].toInt(), QDate::currentDate().month());
    }

    void versionAndUseTime()
    {
        link->queryVersion();
        link->queryUseTime();
        sentNames << "queryVersion"
                  << "queryUseTime";
        QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, kWaitMs);
        QVERIFY(messages[0].startsWith("DevVer:"));
        QVERIFY(messages[0].contains("QCW"));
        QVERIFY(
            QRegularExpression("^PwrOn:\\d+mins LasOn:\\d+mins$").match(messages[1]).hasMatch());
    }

    void internalParametersAreReportedBack()
    {
        link->setIntCtrlParam(50, 20, 1000, 0xFAAA);
        sentNames << "setIntCtrlParam";
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("intDac").toInt() == 50 && o.value("intPwmDuty").toInt() == 20 &&
                   o.value("intPwmFreq").toInt() == 1000 &&
                   o.value("intLaserOnMs").toInt() == 64170;
        }));
        // The link narrows ints to the wire widths: 300 % 256 = 44.
        link->setIntCtrlParam(300, 20, 1000, 0xFAAA);
        sentNames << "setIntCtrlParam";
        QVERIFY(
            waitForRecord([](const QJsonObject &o) { return o.value("intDac").toInt() == 44; }));
        link->setIntCtrlParam(50, 20, 1000, 0xFAAA);
        sentNames << "setIntCtrlParam";
    }

    void emissionStartsAndStops()
    {
        link->setLaserState(true);
        sentNames << "setLaserState";
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("laserOutputting").toInt() == 1 &&
                   o.value("pumpCurrent").toArray()[0].toDouble() > 0.5 &&
                   o.value("opticalVals").toArray()[0].toInt() > 0;
        }));
        link->setLaserState(false);
        sentNames << "setLaserState";
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("laserOutputting").toInt() == 0 &&
                   o.value("pumpCurrent").toArray()[0].toDouble() == 0;
        }));
    }

    void timedEmissionEndsByItself()
    {
        link->setIntCtrlParam(30, 50, 1000, 600);
        link->setLaserState(true);
        sentNames << "setIntCtrlParam"
                  << "setLaserState";
        QVERIFY(waitForRecord(
            [](const QJsonObject &o) { return o.value("laserOutputting").toInt() == 1; }));
        QVERIFY(waitForRecord(
            [](const QJsonObject &o) { return o.value("laserOutputting").toInt() == 0; }));
    }

    void controlModeSwitches()
    {
        link->setCtrlMod(false);
        sentNames << "setCtrlMod";
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("mode").toInt() == 0 && o.value("db25Power").toInt() == 50;
        }));
        link->setCtrlMod(true);
        sentNames << "setCtrlMod";
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("mode").toInt() == 1 && o.value("db25Power").toInt() == 0;
        }));
    }

    void advancedParametersAreReportedBack()
    {
        messages.clear();
        link->setAdvancedParam(60, 2000, true, 70, 40, 85, 15, 12, 38, 13, 45);
        sentNames << "setAdvancedParam";
        QVERIFY(waitForMessage("Set advanced param success"));
        QVERIFY(waitForMessage("Set qcw on"));
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("qcwDuty").toInt() == 60 && o.value("qcwFreq").toInt() == 2000 &&
                   o.value("qcwEnable").toInt() == 1 && o.value("redPowerLevel").toInt() == 70 &&
                   o.value("pdAlarmThes").toInt() == 40 && o.value("humiHigh").toInt() == 85 &&
                   o.value("pumpCurrentAlarmThes").toInt() == 15 &&
                   o.value("inletWaterTempLow").toInt() == 12 &&
                   o.value("inletWaterTempHigh").toInt() == 38 &&
                   o.value("outletWaterTempLow").toInt() == 13 &&
                   o.value("outletWaterTempHigh").toInt() == 45;
        }));
        messages.clear();
        link->setAdvancedParam(60, 2000, false, 70, 40, 85, 15, 12, 38, 13, 45);
        sentNames << "setAdvancedParam";
        QVERIFY(waitForMessage("Set qcw off"));
    }

    void calibrationTable()
    {
        link->queryCalibTable();
        sentNames << "queryCalibTable";
        QTRY_COMPARE_WITH_TIMEOUT(calibTables, 1, kWaitMs);
        QCOMPARE(calibTable.size(), 32);

        QVariantList mine;
        for (int i = 0; i < 32; ++i)
            mine << (i * 7) % 256;
        messages.clear();
        link->setCalib(mine);
        sentNames << "setCalib";
        QVERIFY(waitForMessage("Calibrate ok"));
        link->queryCalibTable();
        sentNames << "queryCalibTable";
        QTRY_COMPARE_WITH_TIMEOUT(calibTables, 2, kWaitMs);
        QCOMPARE(calibTable, mine);

        link->setCalib({1, 2, 300});
        sentNames << "setCalib";
        QVERIFY(waitForMessage("Calibrate failed"));
    }

    void alarmsFromTheConsole()
    {
        console("chiller open");
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("alarmState").toInt() == 0x8020 && o.value("waterLink").toInt() == 0;
        }));
        console("chiller close");
        console("humidity 95");
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("alarmState").toInt() == 0x0001 && o.value("ambientHumi").toInt() == 95;
        }));
        console("clear");

        messages.clear();
        console("pd blind");
        link->setIntCtrlParam(50, 50, 1000, 0xFAAA);
        link->setLaserState(true);
        sentNames << "setIntCtrlParam"
                  << "setLaserState";
        QVERIFY(waitForMessage("PD ERROR LOCK(1)"));
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("alarmState").toInt() == 0x9000 &&
                   o.value("laserOutputting").toInt() == 0;
        }));
        console("pd ok");
    }

    void resetRestoresFactoryValues()
    {
        messages.clear();
        link->resetParam();
        sentNames << "resetParam";
        QVERIFY(waitForMessage("Reset param ok"));
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("intDac").toInt() == 20 && o.value("humiHigh").toInt() == 80 &&
                   o.value("qcwEnable").toInt() == 0 && o.value("alarmState").toInt() == 0;
        }));
    }

    void silenceAndRecovery()
    {
        console("silent on");
        QTest::qWait(300);
        QSignalSpy spy(link, &Communication::dataReceived);
        QTest::qWait(600);
        QCOMPARE(spy.size(), 0);
        console("silent off");
        QVERIFY(waitForRecord([](const QJsonObject &) { return true; }));
    }

    void reconnectAfterClose()
    {
        link->close();
        QVERIFY(!link->isOpen());
        QTest::qWait(300);
        QVERIFY(link->open(path));
        QVERIFY(waitForRecord([](const QJsonObject &) { return true; }));
    }

    void hangUpAndReopen()
    {
        console("hangup 200");
        const QString reopened = waitForOutputLine(sim, "reopened ", kWaitMs);
        QVERIFY(reopened.startsWith("reopened /dev/"));
        // However the link noticed the loss, a fresh open gets records again.
        link->close();
        path = reopened.mid(9);
        QVERIFY(link->open(path));
        QVERIFY(waitForRecord([](const QJsonObject &) { return true; }));
    }

    void logShowsExactlyWhatWasSent()
    {
        // Let the last command land.
        QTest::qWait(200);
        QFile f(dir.filePath("cmds.jsonl"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList names;
        QList<QJsonObject> entries;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            QVERIFY(o.value("ok").toBool());
            names << o.value("name").toString();
            entries << o;
        }
        QCOMPARE(names, sentNames);

        const QJsonObject first = entries[2].value("args").toObject();
        QCOMPARE(entries[2].value("payload").toString(), QString("321403e8faaa"));
        QCOMPARE(first.value("power").toInt(), 50);
        QCOMPARE(first.value("openMs").toInt(), 64170);
        QCOMPARE(entries[3].value("args").toObject().value("power").toInt(), 44);

        const int adv = names.indexOf("setAdvancedParam");
        const QJsonObject a = entries[adv].value("args").toObject();
        QCOMPARE(entries[adv].value("payload").toString(), QString("3c07d00146002855000f0c260d2d"));
        QCOMPARE(a.value("qcwEnable").toBool(), true);
        QCOMPARE(a.value("outTempHigh").toInt(), 45);

        const int badCalib = names.lastIndexOf("setCalib");
        QCOMPARE(entries[badCalib].value("payload").toString(), QString("01022c"));
    }
};

QTEST_GUILESS_MAIN(TestSimLink)
#include "tst_sim_link.moc"
