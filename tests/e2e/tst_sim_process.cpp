// The orrindel-sim program from outside: its output, its line and its faults,
// seen by a plain client that decodes frames with the program's own decoders.

#include "sim_process.h"

#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/message.h"
#include "protocol/status_record.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A client holding the slave side open, as the program would.
class Client {
public:
    explicit Client(const QString &path)
        : fd_(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Client() { close(); }
    bool isOpen() const { return fd_ >= 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void send(const QByteArray &b) { QVERIFY(::write(fd_, b.constData(), b.size()) == b.size()); }
    // Everything that arrives within ms, or until done says the bytes so far
    // suffice; hungUp tells whether the line dropped.
    QByteArray read(int ms, bool *hungUp = nullptr,
                    const std::function<bool(const QByteArray &)> &done = {})
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && !(done && done(out))) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            if (p.revents & POLLIN) {
                char buf[4096];
                const ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, static_cast<int>(n));
                    continue;
                }
            }
            if (p.revents & (POLLHUP | POLLERR)) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
        }
        return out;
    }

private:
    int fd_;
};

QStringList messagesIn(const QVector<Frame> &frames)
{
    QStringList out;
    for (const Frame &f : frames)
        if (f.type == 3)
            out << decodeMessage(f.payload);
    return out;
}

// True once the bytes hold n message frames.
std::function<bool(const QByteArray &)> messagesArrived(int n)
{
    return [n](const QByteArray &bytes) {
        QByteArray copy = bytes;
        return messagesIn(takeFrames(copy)).size() >= n;
    };
}

int statusCount(const QVector<Frame> &frames)
{
    int n = 0;
    for (const Frame &f : frames)
        n += f.type == 1 && parseDevInfo(f.payload).has_value();
    return n;
}

} // namespace

class TestSimProcess : public QObject {
    Q_OBJECT
private slots:
    void helpAndBadOptions()
    {
        QProcess help;
        help.start(ORRINDEL_SIM_PATH, {"--help"});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
        QVERIFY(text.contains("--period"));
        QVERIFY(text.contains("hangup [MS]"));

        QProcess bad;
        bad.start(ORRINDEL_SIM_PATH, {"--period", "nope"});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardOutput().isEmpty());
    }

    void servesAClientAndLogsItsCommands()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyLASER");
        const QString log = dir.filePath("cmds.jsonl");
        QProcess sim;
        const QString path = startSimulator(sim, {"--period", "50", "--link", link, "--log", log});
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path + sim.readAllStandardError()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);

        // Nobody listened for a while: nothing piled up for a late client.
        QTest::qWait(600);
        Client client(link);
        QVERIFY(client.isOpen());
        QByteArray buffer = client.read(400);
        QVector<Frame> frames = takeFrames(buffer);
        QVERIFY2(statusCount(frames) >= 1 && statusCount(frames) <= 10,
                 qPrintable(QString::number(statusCount(frames))));

        DataProcess *dp = DataProcess::getInstance();
        client.send(dp->queryVersion() + dp->setIntCtrlParam(42, 17, 2500, 0xFAAA) +
                    dp->queryUseTime());
        buffer = client.read(5000, nullptr, messagesArrived(2));
        frames = takeFrames(buffer);
        const QStringList msgs = messagesIn(frames);
        QCOMPARE(msgs.size(), 2);
        QVERIFY(msgs[0].startsWith("DevVer:") && msgs[0].contains("QCW"));
        QVERIFY(QRegularExpression("^PwrOn:\\d+mins LasOn:\\d+mins$").match(msgs[1]).hasMatch());

        // A later record reports the new internal-control values.
        const auto applied = [](const QByteArray &bytes) {
            QByteArray copy = bytes;
            for (const Frame &f : takeFrames(copy)) {
                const auto rec = f.type == 1 ? parseDevInfo(f.payload) : std::nullopt;
                if (rec && rec->intDac == 42 && rec->intPwmDuty == 17 && rec->intPwmFreq == 2500 &&
                    rec->intLaserOnMs == 0xFAAA)
                    return true;
            }
            return false;
        };
        QVERIFY(applied(buffer) || applied(client.read(5000, nullptr, applied)));

        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // three lines and the final newline
        const QJsonObject ic = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(ic.value("name").toString(), QString("setIntCtrlParam"));
        QCOMPARE(ic.value("payload").toString(), QString("2a1109c4faaa"));

        stopSimulator(sim);
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        const QString errors = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY(errors.contains("client connected"));
        QVERIFY(errors.contains("rx setIntCtrlParam power=42 duty=17 freq=2500 openMs=64170"));
    }

    void noisyChunkedLineStillCarriesStatus()
    {
        QProcess sim;
        const QString path = startSimulator(
            sim, {"--period", "100", "--garbage", "--chunk", "5", "--chunk-gap", "3"});
        QVERIFY(path.startsWith("/dev/"));
        Client client(path);
        QByteArray buffer = client.read(1200);
        const QVector<Frame> frames = takeFrames(buffer);
        QVERIFY(statusCount(frames) >= 5);
        // Not one corrupt frame was taken for a real one.
        for (const Frame &f : frames)
            QVERIFY(f.type == 1);
        stopSimulator(sim);
    }

    void hangsUpAndComesBack()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("tty");
        QProcess sim;
        const QString path =
            startSimulator(sim, {"--period", "50", "--link", link, "--at", "400:hangup 300"});
        QVERIFY(path.startsWith("/dev/"));
        {
            Client client(link);
            bool hungUp = false;
            QByteArray buffer = client.read(3000, &hungUp);
            QVERIFY(hungUp);
            QVERIFY(statusCount(takeFrames(buffer)) >= 2);
        }
        const QString reopened = waitForOutputLine(sim, "reopened ", 3000);
        QVERIFY2(!reopened.isEmpty(), qPrintable(sim.readAllStandardError()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), reopened.mid(9));
        Client again(link);
        QByteArray buffer = again.read(400);
        QVERIFY(statusCount(takeFrames(buffer)) >= 2);
        stopSimulator(sim);
    }

    void fillerKeepsTheLineBusy()
    {
        QProcess sim;
        const QString path = startSimulator(sim, {"--period", "200", "--no-pause"});
        Client client(path);
        const QByteArray bytes = client.read(1000);
        QVERIFY(bytes.count('\0') >= 10);
        stopSimulator(sim);
    }

    void silentLineSendsNothing()
    {
        QProcess sim;
        const QString path = startSimulator(sim, {"--period", "50", "--silent"});
        Client client(path);
        QVERIFY(client.read(500).isEmpty());
        client.send(DataProcess::getInstance()->queryVersion());
        QByteArray buffer = client.read(5000, nullptr, messagesArrived(1));
        const QVector<Frame> frames = takeFrames(buffer);
        QCOMPARE(messagesIn(frames).size(), 1); // replies still come
        QCOMPARE(statusCount(frames), 0);
        stopSimulator(sim);
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_sim_process.moc"
