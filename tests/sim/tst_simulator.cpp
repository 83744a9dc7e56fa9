// The simulator as a whole on a fake line: commands in, frames out, the JSON
// log, the console and the command-line options.

#include "console_command.h"
#include "sim_options.h"
#include "sim_test_support.h"
#include "simulator.h"

#include "protocol/deframer.h"
#include "protocol/frame.h"
#include "protocol/status_record.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

using namespace sim;

namespace {

// A simulator on a fake line, its clock standing still.
struct Rig {
    FakeTransport *line = new FakeTransport;
    Simulator sim;
    explicit Rig(const SimOptions &o = {})
        : sim(o, line, [] { return qint64(1000); })
    {
        QString error;
        if (!sim.start(error))
            qFatal("start: %s", qPrintable(error));
    }
    QVector<Frame> frames()
    {
        QByteArray all;
        for (const QByteArray &w : line->writes)
            all += w;
        line->writes.clear();
        return takeFrames(all);
    }
    QStringList messagesSent()
    {
        QStringList out;
        for (const Frame &f : frames())
            if (f.type == 3)
                out << QString::fromUtf8(f.payload);
        return out;
    }
};

QList<QJsonObject> readLog(const QString &path)
{
    QFile f(path);
    QList<QJsonObject> out;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (!line.isEmpty())
                out << QJsonDocument::fromJson(line).object();
    return out;
}

// A log entry as compact JSON, without the parts that vary.
QByteArray fixedPart(QJsonObject entry)
{
    entry.remove("time");
    entry.remove("error");
    return QJsonDocument(entry).toJson(QJsonDocument::Compact);
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    void commandsAreAnsweredAndLogged()
    {
        QTemporaryDir dir;
        SimOptions o;
        o.logPath = dir.filePath("cmds.jsonl");
        Rig rig(o);
        rig.frames();
        QSignalSpy info(&rig.sim, &Simulator::info);
        // Three commands in one delivery, with noise in front; the last one malformed.
        emit rig.line->received(
            QByteArray::fromHex("0102") + packFrame(CommandCode::QueryVersion, {}) +
            packFrame(CommandCode::SetIntCtrlParam, intCtrlPayload(50, 20, 1000, 1000)) +
            packFrame(quint8(0x04), QByteArray::fromHex("0101")));
        QCOMPARE(rig.messagesSent(), QStringList{"DevVer:V2.3.1-QCW"});
        QCOMPARE(rig.sim.model().settings().intDac, 50);
        QVERIFY(!rig.sim.model().emitting());
        QCOMPARE(rig.sim.commandsReceived(), qint64(3));

        const QList<QJsonObject> log = readLog(o.logPath);
        QCOMPARE(log.size(), 3);
        QVERIFY(
            QDateTime::fromString(log[0].value("time").toString(), Qt::ISODateWithMs).isValid());
        QVERIFY(!log[2].value("error").toString().isEmpty());
        QCOMPARE(fixedPart(log[0]),
                 R"({"args":{},"code":10,"name":"queryVersion","ok":true,"payload":""})");
        QCOMPARE(fixedPart(log[1]), R"({"args":{"duty":20,"freq":1000,"openMs":1000,"power":50},)"
                                    R"("code":3,"name":"setIntCtrlParam","ok":true,)"
                                    R"("payload":"321403e803e8"})");
        QCOMPARE(fixedPart(log[2]),
                 R"({"args":{},"code":4,"name":"setLaserState","ok":false,"payload":"0101"})");

        // A person can read the same.
        QCOMPARE(info.size(), 3);
        QVERIFY(info[1][0].toString().contains(
            "setIntCtrlParam power=50 duty=20 freq=1000 openMs=1000"));
    }

    void statusGoesOutOnlyToAConnectedClient()
    {
        SimOptions o;
        o.periodMs = 20;
        Rig rig(o);
        QTRY_VERIFY_WITH_TIMEOUT(rig.line->writes.size() >= 2, 2000);
        const QVector<Frame> f = rig.frames();
        QCOMPARE(int(f.value(0).type), 1);
        QVERIFY(parseDevInfo(f[0].payload).has_value());

        rig.line->connected = false;
        QTest::qWait(100);
        QVERIFY(rig.line->writes.isEmpty());

        // A client that arrives gets a status at once.
        rig.line->connected = true;
        emit rig.line->clientConnected();
        QCOMPARE(rig.line->writes.size(), 1);
    }

    // The console's effects that the end-to-end tests do not see.
    void consoleCommandsAndClear()
    {
        Rig rig;
        rig.frames();
        rig.sim.execute("chiller open");
        rig.sim.execute("inlet 40.5");
        QCOMPARE(rig.sim.model().status().inletWaterTemp, qint16(405));
        rig.sim.execute("chunk 4 5");
        rig.sim.execute("garbage on");
        QVERIFY(rig.sim.statusReport().contains("chiller open"));
        QVERIFY(rig.sim.statusReport().contains("0x8120"));
        rig.sim.execute("clear");
        QCOMPARE(rig.sim.model().alarmState(), quint16(0));
        QCOMPARE(rig.sim.writer().chunkSize(), 0);
        QVERIFY(!rig.sim.writer().garbage());
        QVERIFY(rig.sim.statusReport().contains("faults: none"));

        QCOMPARE(rig.sim.execute("send hello  world"), QString("sent"));
        QCOMPARE(rig.messagesSent(), QStringList{"hello  world"});
        rig.sim.execute("calib");
        const QVector<Frame> f = rig.frames();
        QCOMPARE(f.size(), 1);
        QCOMPARE(int(f[0].type), 4);
        QCOMPARE(f[0].payload, rig.sim.model().calibTable());
        // A stored threshold the set command could not send: the status
        // carries it as it is, and the alarms follow it.
        rig.sim.execute("set inletWaterTempLow 45");
        rig.sim.execute("set inletWaterTempHigh 5");
        QCOMPARE(rig.sim.model().status().inletWaterTempLow, 45);
        QCOMPARE(rig.sim.model().status().inletWaterTempHigh, 5);
        rig.sim.execute("hangup 10");
        QCOMPARE(rig.line->hangUps, 1);
        QCOMPARE(rig.sim.execute("send x"), QString("no client: not sent"));
    }

    // Words in any case and spacing; a value, "auto"/"off" for none, or a usage error.
    void consoleLinesParse()
    {
        using C = ConsoleCommand;
        const struct {
            const char *line;
            C::Verb verb;
            bool flag;
            std::optional<double> value;
        } cases[] = {{"  QBH   CLOSE ", C::Qbh, false, {}},
                     {"chiller open", C::Chiller, true, {}},
                     {"humidity 85", C::Humidity, false, 85},
                     {"humidity auto", C::Humidity, false, {}},
                     {"outlet -2", C::Outlet, false, -2},
                     {"leak 2.5", C::Leak, false, 2.5},
                     {"chunk off", C::Chunk, false, 0},
                     {"   ", C::Empty, false, {}},
                     {"set pdAlarmThes 65535", C::Set, false, 65535}};
        for (const auto &c : cases) {
            const ConsoleCommand got = parseConsoleLine(c.line);
            QVERIFY2(got.verb == c.verb && got.flag == c.flag && got.value == c.value, c.line);
            QVERIFY(got.error.isEmpty());
        }
        for (const char *bad :
             {"chiller", "chiller ajar", "humidity lots", "analog 101", "period 5", "chunk 0",
              "hangup soon", "status now", "send", "fly", "set humiHigh", "set humiHigh 256",
              "set pdAlarmThes 65536", "set intDac 5", "set humiHigh -1"}) {
            const ConsoleCommand got = parseConsoleLine(bad);
            QVERIFY2(got.verb == C::Invalid && !got.error.isEmpty(), bad);
        }
    }

    void helpNamesEveryVerbAndOption()
    {
        const QString console = consoleHelp();
        for (const QString &v :
             QString("help status chiller qbh estop humidity inlet outlet pd leak ble mode analog "
                     "gate set chunk garbage silent nopause hangup period send calib clear quit")
                 .split(' ')) {
            QVERIFY2(console.contains("\n  " + v + ' '), qPrintable(v));
            const ConsoleCommand c = parseConsoleLine(v);
            QVERIFY2(c.verb != ConsoleCommand::Invalid || c.error.startsWith("usage"),
                     qPrintable(v));
        }
        SimOptions o;
        QString text;
        QCOMPARE(parseOptions({"orrindel-sim", "--help"}, o, text), ParseResult::Help);
        for (const QString &opt :
             QString("period link port log quiet no-console seed max-power id reserved-len "
                     "fw-version no-qcw calib-len power-on-mins laser-on-mins mode analog set gate "
                     "chiller-open qbh-open estop humidity inlet-temp outlet-temp pd-blind leak "
                     "ble-fail chunk chunk-gap garbage silent no-pause at")
                 .split(' '))
            QVERIFY2(text.contains("--" + opt), qPrintable(opt));
        QVERIFY(text.contains(console));
    }

    void optionsTakeEffect()
    {
        SimOptions o;
        QString text;
        const QStringList args = QString("sim --period 250 --max-power 3000 --id X1 --no-qcw "
                                         "--chunk 6 --mode external --gate --humidity 90 "
                                         "--chiller-open --at")
                                     .split(' ') +
                                 QStringList{"50:estop on"};
        QCOMPARE(parseOptions(args, o, text), ParseResult::Run);
        Rig rig(o);
        QCOMPARE(rig.sim.periodMs(), 250);
        QCOMPARE(rig.sim.writer().chunkSize(), 6);
        const StatusFields s = rig.sim.model().status();
        QCOMPARE(s.maxPower, quint16(3000));
        QCOMPARE(s.chipShortId, QByteArray("X1"));
        QCOMPARE(s.ambientHumi, qint16(90));
        QCOMPARE(s.alarmState, quint16(0x8021));
        QCOMPARE(rig.sim.model().versionText(), QString("DevVer:V2.3.1"));
        // External mode with the gate on, but the open chiller holds emission back.
        QVERIFY(!rig.sim.model().emitting());
        rig.sim.execute("chiller close");
        QVERIFY(rig.sim.model().emitting());
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.model().alarmState(), quint16(0xC001), 2000);
        QVERIFY(!rig.sim.model().emitting());
    }

    void badOptionsAreRejected()
    {
        for (const char *args :
             {"--period 0", "--period fast", "--reserved-len 0", "--mode sideways", "--at estop",
              "--at 100:fly", "--port ttyS0 --link /tmp/x", "extra", "--bogus"}) {
            SimOptions o;
            QString text;
            QCOMPARE(parseOptions((QString("sim ") + args).split(' '), o, text),
                     ParseResult::Error);
            QVERIFY2(!text.isEmpty(), args);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
