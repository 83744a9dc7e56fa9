// The program's link against the simulated controller over a pseudo-terminal:
// status records arrive, every command has its effect, and the simulator's
// log shows exactly what was sent.

#include "sim_process.h"

#include "link/communication.h"
#include "link/serial_port.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

constexpr int kWaitMs = 4000;

// True when the record holds every value of want.
bool holds(const QJsonObject &record, const QJsonObject &want)
{
    for (auto it = want.begin(); it != want.end(); ++it)
        if (record.value(it.key()) != it.value())
            return false;
    return true;
}

} // namespace

class TestSimLink : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QProcess sim;
    Communication *link = nullptr;
    QStringList messages;
    QList<QVariantList> calibTables;
    QStringList sentNames; // what the log must show, in order

    // Waits until a record received from now on satisfies the condition.
    bool waitForRecord(const std::function<bool(const QJsonObject &)> &condition)
    {
        QSignalSpy spy(link, &Communication::dataReceived);
        QElapsedTimer t;
        t.start();
        for (int seen = 0; t.elapsed() < kWaitMs;) {
            if (spy.size() == seen)
                spy.wait(100);
            for (; seen < spy.size(); ++seen)
                if (condition(spy.at(seen).at(0).toJsonObject()))
                    return true;
        }
        return false;
    }
    bool waitForRecord(const QJsonObject &want)
    {
        return waitForRecord([&want](const QJsonObject &o) { return holds(o, want); });
    }
    bool waitForMessage(const QString &text)
    {
        QElapsedTimer t;
        t.start();
        while (!messages.contains(text) && t.elapsed() < kWaitMs)
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
        const QString path = startSimulator(
            sim, {"--period", "100", "--seed", "5", "--log", dir.filePath("cmds.jsonl")}, false);
        QVERIFY2(path.startsWith("/dev/"), qPrintable(sim.readAllStandardError()));
        link = Communication::getInstance();
        connect(link, &Communication::msgReceived, this, [this](QString m) { messages << m; });
        connect(link, &Communication::calibTableReceived, this,
                [this](QVariantList t) { calibTables << t; });
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
        QSignalSpy spy(link, &Communication::dataReceived);
        QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 3, kWaitMs); // and keep coming
        const QJsonObject o = spy.last().at(0).toJsonObject();
        QCOMPARE(o.size(), 35);
        const QJsonObject identity{{"maxPower", 1500},
                                   {"chipShortId", "SN240403"},
                                   {"mode", 1},
                                   {"alarmState", 0},
                                   {"waterLink", 1}};
        QVERIFY(holds(o, identity));
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
        sentNames += QStringList{"queryVersion", "queryUseTime"};
        QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, kWaitMs);
        QVERIFY(messages[0].startsWith("DevVer:") && messages[0].contains("QCW"));
        QVERIFY(
            QRegularExpression("^PwrOn:\\d+mins LasOn:\\d+mins$").match(messages[1]).hasMatch());
    }

    void internalParametersAndEmission()
    {
        link->setIntCtrlParam(50, 20, 1000, 0xFAAA);
        QVERIFY(waitForRecord(
            {{"intDac", 50}, {"intPwmDuty", 20}, {"intPwmFreq", 1000}, {"intLaserOnMs", 64170}}));
        // The link narrows ints to the wire widths: 300 % 256 = 44.
        link->setIntCtrlParam(300, 20, 1000, 0xFAAA);
        QVERIFY(waitForRecord({{"intDac", 44}}));
        link->setIntCtrlParam(50, 20, 1000, 0xFAAA);
        link->setLaserState(true);
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("laserOutputting") == 1 &&
                   o.value("pumpCurrent").toArray()[0].toDouble() > 0.5 &&
                   o.value("opticalVals").toArray()[0].toInt() > 0;
        }));
        link->setLaserState(false);
        QVERIFY(waitForRecord([](const QJsonObject &o) {
            return o.value("laserOutputting") == 0 && o.value("pumpCurrent").toArray()[0] == 0;
        }));
        // A timed emission ends by itself.
        link->setIntCtrlParam(30, 50, 1000, 600);
        link->setLaserState(true);
        QVERIFY(waitForRecord({{"laserOutputting", 1}}));
        QVERIFY(waitForRecord({{"laserOutputting", 0}}));
        sentNames +=
            QStringList{"setIntCtrlParam", "setIntCtrlParam", "setIntCtrlParam", "setLaserState",
                        "setLaserState",   "setIntCtrlParam", "setLaserState"};
    }

    void controlModeSwitches()
    {
        link->setCtrlMod(false);
        QVERIFY(waitForRecord({{"mode", 0}, {"db25Power", 50}}));
        link->setCtrlMod(true);
        QVERIFY(waitForRecord({{"mode", 1}, {"db25Power", 0}}));
        sentNames += QStringList{"setCtrlMod", "setCtrlMod"};
    }

    void advancedParametersAreReportedBack()
    {
        messages.clear();
        link->setAdvancedParam(60, 2000, true, 70, 40, 85, 15, 12, 38, 13, 45);
        QVERIFY(waitForMessage("Set advanced param success"));
        QVERIFY(waitForMessage("Set qcw on"));
        QVERIFY(waitForRecord({{"qcwDuty", 60},
                               {"qcwFreq", 2000},
                               {"qcwEnable", 1},
                               {"redPowerLevel", 70},
                               {"pdAlarmThes", 40},
                               {"humiHigh", 85},
                               {"pumpCurrentAlarmThes", 15},
                               {"inletWaterTempLow", 12},
                               {"inletWaterTempHigh", 38},
                               {"outletWaterTempLow", 13},
                               {"outletWaterTempHigh", 45}}));
        link->setAdvancedParam(60, 2000, false, 70, 40, 85, 15, 12, 38, 13, 45);
        QVERIFY(waitForMessage("Set qcw off"));
        sentNames += QStringList{"setAdvancedParam", "setAdvancedParam"};
    }

    void calibrationTable()
    {
        link->queryCalibTable();
        QTRY_COMPARE_WITH_TIMEOUT(calibTables.size(), 1, kWaitMs);
        QCOMPARE(calibTables[0].size(), 32);
        QVariantList mine;
        for (int i = 0; i < 32; ++i)
            mine << (i * 7) % 256;
        link->setCalib(mine);
        QVERIFY(waitForMessage("Calibrate ok"));
        link->queryCalibTable();
        QTRY_COMPARE_WITH_TIMEOUT(calibTables.size(), 2, kWaitMs);
        QCOMPARE(calibTables[1], mine);
        link->setCalib({1, 2, 300});
        QVERIFY(waitForMessage("Calibrate failed"));
        sentNames += QStringList{"queryCalibTable", "setCalib", "queryCalibTable", "setCalib"};
    }

    void alarmsFromTheConsole()
    {
        console("chiller open");
        QVERIFY(waitForRecord({{"alarmState", 0x8020}, {"waterLink", 0}}));
        console("clear");
        console("pd blind");
        link->setIntCtrlParam(50, 50, 1000, 0xFAAA);
        link->setLaserState(true);
        sentNames += QStringList{"setIntCtrlParam", "setLaserState"};
        QVERIFY(waitForMessage("PD ERROR LOCK(1)"));
        QVERIFY(waitForRecord({{"alarmState", 0x9000}, {"laserOutputting", 0}}));
        console("pd ok");
    }

    void resetRestoresFactoryValues()
    {
        link->resetParam();
        sentNames << "resetParam";
        QVERIFY(waitForMessage("Reset param ok"));
        QVERIFY(
            waitForRecord({{"intDac", 20}, {"humiHigh", 80}, {"qcwEnable", 0}, {"alarmState", 0}}));
    }

    void logShowsExactlyWhatWasSent()
    {
        QTest::qWait(200); // let the last command land
        QFile f(dir.filePath("cmds.jsonl"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList names;
        QList<QJsonObject> entries;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            entries << QJsonDocument::fromJson(line).object();
            QVERIFY(entries.last().value("ok").toBool());
            names << entries.last().value("name").toString();
        }
        QCOMPARE(names, sentNames);

        QCOMPARE(entries[2].value("payload").toString(), QString("321403e8faaa"));
        QVERIFY(holds(entries[2].value("args").toObject(), {{"power", 50}, {"openMs", 64170}}));
        QCOMPARE(entries[3].value("args").toObject().value("power").toInt(), 44);
        const QJsonObject &adv = entries[names.indexOf("setAdvancedParam")];
        QCOMPARE(adv.value("payload").toString(), QString("3c07d00146002855000f0c260d2d"));
        QVERIFY(holds(adv.value("args").toObject(), {{"qcwEnable", true}, {"outTempHigh", 45}}));
        QCOMPARE(entries[names.lastIndexOf("setCalib")].value("payload").toString(),
                 QString("01022c"));
        // The same, readable for a person.
        QVERIFY(sim.readAllStandardError().contains(
            "rx setIntCtrlParam power=50 duty=20 freq=1000 openMs=64170"));
    }

    // A controller that never lets the line fall quiet: a status every 20 ms
    // and a filler byte between. Records keep coming within about 250 ms of
    // each other, the link holds little, and no frame is lost or repeated:
    // the numbered messages sent meanwhile arrive each once, in order, and
    // the records number no more than the periods.
    void busyLineKeepsRecordsFlowing()
    {
        QProcess busy;
        const QString path =
            startSimulator(busy, {"--period", "20", "--no-pause", "--seed", "9", "--quiet"}, false);
        QVERIFY2(path.startsWith("/dev/"), qPrintable(busy.readAllStandardError()));
        const SerialPort *port = SerialPort::getInstance();
        // What the other simulator sent last is still on its way here.
        link->close();
        QTest::qWait(500);
        messages.clear();
        QElapsedTimer clock;
        QVector<qint64> recordTimes;
        const QMetaObject::Connection counting = connect(link, &Communication::dataReceived, this,
                                                         [&] { recordTimes << clock.elapsed(); });
        clock.start();
        QVERIFY(link->open(path));
        // The simulator notices the client within 100 ms and starts at once.
        QTRY_VERIFY_WITH_TIMEOUT(!recordTimes.isEmpty(), kWaitMs);
        recordTimes.clear();
        clock.restart();

        constexpr qint64 kRunMs = 3000, kPeriodMs = 20, kMessageEveryMs = 30;
        QStringList sent;
        int largestBuffer = 0;
        qint64 longestStall = 0; // of this thread, which reads the port
        QElapsedTimer step;
        step.start();
        while (clock.elapsed() < kRunMs) {
            QTest::qWait(5);
            longestStall = qMax(longestStall, step.restart());
            largestBuffer = qMax(largestBuffer, port->bufferedByteCount());
            if (clock.elapsed() >= kMessageEveryMs * (sent.size() + 1)) {
                sent << QString("busy line, message number %1 of this run").arg(sent.size());
                busy.write("send " + sent.last().toUtf8() + '\n');
            }
        }
        const qint64 ranMs = clock.elapsed();
        (void)QTest::qWaitFor([&] { return messages.size() >= sent.size(); }, kWaitMs);
        QTest::qWait(300);
        disconnect(counting);
        link->close();
        stopSimulator(busy);

        QCOMPARE(messages, sent);
        recordTimes.erase(std::find_if(recordTimes.begin(), recordTimes.end(),
                                       [ranMs](qint64 t) { return t > ranMs; }),
                          recordTimes.end());
        qint64 longestGap = 0, previous = 0;
        for (qint64 t : qAsConst(recordTimes)) {
            longestGap = qMax(longestGap, t - previous);
            previous = t;
        }
        longestGap = qMax(longestGap, ranMs - previous);
        const qint64 allowedMs = serial_link::kMaxDecodeDelayMs + 250 + longestStall;
        QVERIFY2(longestGap <= allowedMs,
                 qPrintable(QString("%1 ms without a record (%2 records, this thread stalled "
                                    "up to %3 ms)")
                                .arg(longestGap)
                                .arg(recordTimes.size())
                                .arg(longestStall)));
        // About a second of this line, some 5 bytes a millisecond.
        QVERIFY2(largestBuffer <= 8192,
                 qPrintable(QString("the link held %1 bytes").arg(largestBuffer)));
        // None twice: at most one a period, counting the periods from the
        // allowed delay before the run on; many lost would leave far fewer.
        const qint64 periods = ranMs / kPeriodMs;
        QVERIFY2(recordTimes.size() <= (ranMs + allowedMs) / kPeriodMs + 2 &&
                     recordTimes.size() >= periods / 2,
                 qPrintable(QString("%1 records in %2 ms").arg(recordTimes.size()).arg(ranMs)));
    }
};

QTEST_GUILESS_MAIN(TestSimLink)
#include "tst_sim_link.moc"
