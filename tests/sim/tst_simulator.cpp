// The simulator as a whole on a fake line: commands in, frames out, the JSON
// log, the console and the command-line options.

#include "console_command.h"
#include "sim_options.h"
#include "sim_test_support.h"
#include "simulator.h"

#include "protocol/deframer.h"
#include "protocol/frame.h"
#include "protocol/status_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

using namespace sim;

namespace {

struct Rig {
    ManualClock time;
    FakeTransport *line = new FakeTransport;
    std::unique_ptr<Simulator> sim;
    explicit Rig(SimOptions o = {})
    {
        sim = std::make_unique<Simulator>(o, line, time.clock());
        QString error;
        if (!sim->start(error))
            qFatal("start: %s", qPrintable(error));
    }
    QVector<Frame> frames()
    {
        QByteArray all = line->all();
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

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
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
        QSignalSpy info(rig.sim.get(), &Simulator::info);
        // Two commands in one delivery, with noise in front.
        rig.line->clientSends(
            QByteArray::fromHex("0102") + packFrame(CommandCode::QueryVersion, {}) +
            packFrame(CommandCode::SetIntCtrlParam, intCtrlPayload(50, 20, 1000, 1000)));
        QCOMPARE(rig.messagesSent(), QStringList{"DevVer:V2.3.1-QCW"});
        QCOMPARE(rig.sim->model().settings().intDac, 50);
        QCOMPARE(rig.sim->commandsReceived(), qint64(2));

        const QStringList lines = readLines(o.logPath);
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(first.value("name").toString(), QString("queryVersion"));
        QCOMPARE(first.value("code").toInt(), 0x0A);
        QCOMPARE(first.value("payload").toString(), QString(""));
        QVERIFY(QDateTime::fromString(first.value("time").toString(), Qt::ISODateWithMs).isValid());
        const QJsonObject second = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        QCOMPARE(second.value("name").toString(), QString("setIntCtrlParam"));
        QCOMPARE(second.value("payload").toString(), QString("321403e803e8"));
        QCOMPARE(second.value("args").toObject().value("openMs").toInt(), 1000);
        QCOMPARE(second.value("ok").toBool(), true);

        // A person can read the same.
        QCOMPARE(info.size(), 2);
        QVERIFY(info[1][0].toString().contains(
            "setIntCtrlParam power=50 duty=20 freq=1000 openMs=1000"));
    }

    void malformedCommandsAreLoggedAsNotOk()
    {
        QTemporaryDir dir;
        SimOptions o;
        o.logPath = dir.filePath("cmds.jsonl");
        Rig rig(o);
        rig.line->clientSends(packFrame(quint8(0x04), QByteArray::fromHex("0101")));
        const QJsonObject e =
            QJsonDocument::fromJson(readLines(o.logPath).value(0).toUtf8()).object();
        QCOMPARE(e.value("ok").toBool(), false);
        QCOMPARE(e.value("name").toString(), QString("setLaserState"));
        QVERIFY(!e.value("error").toString().isEmpty());
        QVERIFY(!rig.sim->model().emitting());
    }

    void statusGoesOutOnlyToAConnectedClient()
    {
        SimOptions o;
        o.periodMs = 20;
        Rig rig(o);
        QTRY_VERIFY_WITH_TIMEOUT(rig.line->writes.size() >= 2, 2000);
        const QVector<Frame> f = rig.frames();
        QVERIFY(!f.isEmpty());
        QCOMPARE(int(f[0].type), 1);
        QVERIFY(parseDevInfo(f[0].payload).has_value());

        rig.line->connected = false;
        QTest::qWait(100);
        QVERIFY(rig.line->writes.isEmpty());

        // A client that arrives gets a status at once.
        rig.line->connected = true;
        emit rig.line->clientConnected();
        QCOMPARE(rig.line->writes.size(), 1);
    }

    void silentStopsStatusButNotReplies()
    {
        SimOptions o;
        o.periodMs = 20;
        Rig rig(o);
        QCOMPARE(rig.sim->execute("silent on"), QString("ok"));
        rig.line->writes.clear();
        QTest::qWait(100);
        QVERIFY(rig.line->writes.isEmpty());
        rig.line->clientSends(packFrame(CommandCode::ResetParam, {}));
        QCOMPARE(rig.messagesSent(), QStringList{"Reset param ok"});
        rig.sim->execute("silent off");
        QTRY_VERIFY_WITH_TIMEOUT(!rig.line->writes.isEmpty(), 2000);
    }

    void consoleFaultsReachTheStatus()
    {
        Rig rig;
        rig.sim->execute("chiller open");
        rig.sim->execute("humidity 95");
        QCOMPARE(rig.sim->model().alarmState(), quint16(0x8021));
        rig.sim->execute("inlet 40.5");
        QCOMPARE(rig.sim->model().status().inletWaterTemp, qint16(405));
        rig.sim->execute("chunk 4 5");
        rig.sim->execute("garbage on");
        QVERIFY(rig.sim->statusReport().contains("chiller open"));
        QVERIFY(rig.sim->statusReport().contains("0x8121"));
        rig.sim->execute("clear");
        QCOMPARE(rig.sim->model().alarmState(), quint16(0));
        QCOMPARE(rig.sim->writer().chunkSize(), 0);
        QVERIFY(!rig.sim->writer().garbage());
        QVERIFY(rig.sim->statusReport().contains("faults: none"));
    }

    void photodiodeLockIsAnnounced()
    {
        Rig rig;
        rig.sim->execute("pd blind");
        rig.line->clientSends(packFrame(CommandCode::SetLaserState, QByteArray(1, 1)));
        rig.time.now += 500;
        rig.sim->execute("status");
        QVERIFY(rig.messagesSent().contains("PD ERROR LOCK(1)"));
    }

    void consoleSendsAndHangsUp()
    {
        Rig rig;
        rig.frames();
        QCOMPARE(rig.sim->execute("send hello  world"), QString("sent"));
        QCOMPARE(rig.messagesSent(), QStringList{"hello  world"});
        rig.sim->execute("calib");
        const QVector<Frame> f = rig.frames();
        QCOMPARE(f.size(), 1);
        QCOMPARE(int(f[0].type), 4);
        QCOMPARE(f[0].payload.size(), 32);
        rig.sim->execute("hangup 10");
        QCOMPARE(rig.line->hangUps, 1);
        QCOMPARE(rig.sim->execute("send x"), QString("no client: not sent"));
    }

    void consoleLinesParse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("verb");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QVariant>("value"); // null: no value
        QTest::newRow("chiller open")
            << QString("chiller open") << int(ConsoleCommand::Chiller) << true << QVariant();
        QTest::newRow("QBH CLOSE")
            << QString("  QBH   CLOSE ") << int(ConsoleCommand::Qbh) << false << QVariant();
        QTest::newRow("estop on") << QString("estop on") << int(ConsoleCommand::Estop) << true
                                  << QVariant();
        QTest::newRow("humidity 85")
            << QString("humidity 85") << int(ConsoleCommand::Humidity) << false << QVariant(85.0);
        QTest::newRow("humidity auto")
            << QString("humidity auto") << int(ConsoleCommand::Humidity) << false << QVariant();
        QTest::newRow("inlet 36.5")
            << QString("inlet 36.5") << int(ConsoleCommand::Inlet) << false << QVariant(36.5);
        QTest::newRow("outlet -2")
            << QString("outlet -2") << int(ConsoleCommand::Outlet) << false << QVariant(-2.0);
        QTest::newRow("pd blind") << QString("pd blind") << int(ConsoleCommand::Pd) << true
                                  << QVariant();
        QTest::newRow("leak off") << QString("leak off") << int(ConsoleCommand::Leak) << false
                                  << QVariant();
        QTest::newRow("leak 2.5") << QString("leak 2.5") << int(ConsoleCommand::Leak) << false
                                  << QVariant(2.5);
        QTest::newRow("mode external")
            << QString("mode external") << int(ConsoleCommand::Mode) << false << QVariant();
        QTest::newRow("chunk 5") << QString("chunk 5") << int(ConsoleCommand::Chunk) << false
                                 << QVariant(5.0);
        QTest::newRow("chunk off")
            << QString("chunk off") << int(ConsoleCommand::Chunk) << false << QVariant(0.0);
        QTest::newRow("nopause on")
            << QString("nopause on") << int(ConsoleCommand::NoPause) << true << QVariant();
        QTest::newRow("period 100")
            << QString("period 100") << int(ConsoleCommand::Period) << false << QVariant(100.0);
        QTest::newRow("empty") << QString("   ") << int(ConsoleCommand::Empty) << false
                               << QVariant();
        QTest::newRow("chiller") << QString("chiller") << int(ConsoleCommand::Invalid) << false
                                 << QVariant();
        QTest::newRow("chiller ajar")
            << QString("chiller ajar") << int(ConsoleCommand::Invalid) << false << QVariant();
        QTest::newRow("humidity lots")
            << QString("humidity lots") << int(ConsoleCommand::Invalid) << false << QVariant();
        QTest::newRow("analog 101")
            << QString("analog 101") << int(ConsoleCommand::Invalid) << false << QVariant();
        QTest::newRow("period 5") << QString("period 5") << int(ConsoleCommand::Invalid) << false
                                  << QVariant();
        QTest::newRow("chunk 0") << QString("chunk 0") << int(ConsoleCommand::Invalid) << false
                                 << QVariant();
        QTest::newRow("hangup soon")
            << QString("hangup soon") << int(ConsoleCommand::Invalid) << false << QVariant();
        QTest::newRow("status now")
            << QString("status now") << int(ConsoleCommand::Invalid) << false << QVariant();
        QTest::newRow("send") << QString("send") << int(ConsoleCommand::Invalid) << false
                              << QVariant();
        QTest::newRow("fly") << QString("fly") << int(ConsoleCommand::Invalid) << false
                             << QVariant();
    }

    void consoleLinesParse()
    {
        QFETCH(QString, line);
        QFETCH(int, verb);
        QFETCH(bool, flag);
        QFETCH(QVariant, value);
        const ConsoleCommand c = parseConsoleLine(line);
        QCOMPARE(int(c.verb), verb);
        if (verb == ConsoleCommand::Invalid) {
            QVERIFY(!c.error.isEmpty());
            return;
        }
        QCOMPARE(c.flag, flag);
        QCOMPARE(c.value.has_value(), value.isValid());
        if (c.value)
            QCOMPARE(*c.value, value.toDouble());
    }

    void helpNamesEveryVerbAndOption()
    {
        const QString console = consoleHelp();
        const QStringList verbs{"help",   "status", "chiller", "qbh",     "estop",  "humidity",
                                "inlet",  "outlet", "pd",      "leak",    "ble",    "mode",
                                "analog", "gate",   "chunk",   "garbage", "silent", "nopause",
                                "hangup", "period", "send",    "calib",   "clear",  "quit"};
        for (const QString &v : verbs) {
            QVERIFY2(console.contains("\n  " + v + ' '), qPrintable(v));
            QVERIFY2(parseConsoleLine(v).verb != ConsoleCommand::Invalid ||
                         parseConsoleLine(v).error.startsWith("usage"),
                     qPrintable(v));
        }

        SimOptions o;
        QString text;
        QCOMPARE(parseOptions({"orrindel-sim", "--help"}, o, text), ParseResult::Help);
        for (const char *opt :
             {"--period",    "--link",          "--port",          "--log",
              "--quiet",     "--no-console",    "--seed",          "--max-power",
              "--id",        "--reserved-len",  "--fw-version",    "--no-qcw",
              "--calib-len", "--power-on-mins", "--laser-on-mins", "--mode",
              "--analog",    "--gate",          "--chiller-open",  "--qbh-open",
              "--estop",     "--humidity",      "--inlet-temp",    "--outlet-temp",
              "--pd-blind",  "--leak",          "--ble-fail",      "--chunk",
              "--chunk-gap", "--garbage",       "--silent",        "--no-pause",
              "--at"})
            QVERIFY2(text.contains(opt), opt);
        QVERIFY(text.contains(console));
    }

    void optionsBecomeSettingsAndStartupLines()
    {
        SimOptions o;
        QString text;
        QCOMPARE(parseOptions({"sim",
                               "--period",
                               "250",
                               "--max-power",
                               "3000",
                               "--id",
                               "X1",
                               "--no-qcw",
                               "--chiller-open",
                               "--humidity",
                               "90",
                               "--chunk",
                               "6",
                               "--chunk-gap",
                               "20",
                               "--mode",
                               "external",
                               "--gate",
                               "--at",
                               "1500:estop on",
                               "--at",
                               "3000:hangup 500"},
                              o, text),
                 ParseResult::Run);
        QCOMPARE(o.periodMs, 250);
        QCOMPARE(o.identity.maxPower, 3000);
        QCOMPARE(o.identity.chipShortId, QByteArray("X1"));
        QVERIFY(!o.identity.qcwCapable);
        QVERIFY(o.startup.contains("chiller open"));
        QVERIFY(o.startup.contains("humidity 90"));
        QVERIFY(o.startup.contains("chunk 6 20"));
        QVERIFY(o.startup.contains("mode external"));
        QVERIFY(o.startup.contains("gate on"));
        QCOMPARE(o.scheduled.size(), 2);
        QCOMPARE(o.scheduled[1].first, 3000);
        QCOMPARE(o.scheduled[1].second, QString("hangup 500"));

        Rig rig(o);
        QCOMPARE(rig.sim->model().alarmState(), quint16(0x8021));
        // External mode with the gate on, but the open chiller holds emission back.
        QVERIFY(!rig.sim->model().emitting());
        rig.sim->execute("chiller close");
        QVERIFY(rig.sim->model().emitting());
        QCOMPARE(rig.sim->writer().chunkSize(), 6);
        QCOMPARE(rig.sim->periodMs(), 250);
    }

    void badOptionsAreRejected_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("period 0") << QStringList{"--period", "0"};
        QTest::newRow("period text") << QStringList{"--period", "fast"};
        QTest::newRow("reserved 0") << QStringList{"--reserved-len", "0"};
        QTest::newRow("humidity text") << QStringList{"--humidity", "wet"};
        QTest::newRow("mode sideways") << QStringList{"--mode", "sideways"};
        QTest::newRow("at without colon") << QStringList{"--at", "estop on"};
        QTest::newRow("at bad command") << QStringList{"--at", "100:fly"};
        QTest::newRow("link with port") << QStringList{"--port", "ttyS0", "--link", "/tmp/x"};
        QTest::newRow("positional") << QStringList{"extra"};
        QTest::newRow("unknown") << QStringList{"--bogus"};
    }

    void badOptionsAreRejected()
    {
        QFETCH(QStringList, args);
        SimOptions o;
        QString text;
        QCOMPARE(parseOptions(QStringList{"sim"} + args, o, text), ParseResult::Error);
        QVERIFY(!text.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
