// The orrindel-sim program from outside: its output, its line and its faults,
// seen by a plain client that decodes frames with the program's own decoders.
// The commands and the log are tested with the program's link (tst_sim_link).

#include "sim_process.h"

#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/status_record.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A client holding the slave side open, as the program would.
class Client {
public:
    explicit Client(const QString &path)
        : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Client() { ::close(fd); }
    // Everything that arrives within ms, or until the line hangs up.
    QByteArray read(int ms, bool *hungUp = nullptr)
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            pollfd p{fd, POLLIN, 0};
            char buf[4096];
            if (::poll(&p, 1, 10) <= 0)
                continue;
            const ssize_t n = (p.revents & POLLIN) ? ::read(fd, buf, sizeof buf) : 0;
            if (n > 0) {
                out.append(buf, static_cast<int>(n));
            } else if (p.revents & (POLLHUP | POLLERR)) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
        }
        return out;
    }
    const int fd;
};

// Frames of each type in the bytes; status frames only if the program can read them.
QMap<int, int> frameTypes(QByteArray bytes)
{
    QMap<int, int> out;
    for (const Frame &f : takeFrames(bytes))
        out[f.type] += f.type != 1 || parseDevInfo(f.payload).has_value();
    return out;
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
        QVERIFY(text.contains("--period") && text.contains("hangup [MS]"));

        QProcess bad;
        bad.start(ORRINDEL_SIM_PATH, {"--period", "nope"});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardOutput().isEmpty());
    }

    void lateClientGetsNoBacklogAndTheLinkGoesAtExit()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyLASER");
        QProcess sim;
        const QString path = startSimulator(sim, {"--period", "50", "--link", link});
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path + sim.readAllStandardError()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);

        // Nobody listened for a while: nothing piled up for a late client.
        QTest::qWait(600);
        {
            Client client(link);
            const int records = frameTypes(client.read(400)).value(1);
            QVERIFY2(records >= 1 && records <= 10, qPrintable(QString::number(records)));
        }
        stopSimulator(sim);
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(sim.readAllStandardError().contains("client connected"));
    }

    void noisyChunkedLineStillCarriesStatus()
    {
        QProcess sim;
        Client client(startSimulator(
            sim, {"--period", "100", "--garbage", "--chunk", "5", "--chunk-gap", "3"}));
        const QMap<int, int> types = frameTypes(client.read(1200));
        QVERIFY(types.value(1) >= 5);
        QCOMPARE(types.keys(), QList<int>{1}); // not one corrupt frame taken for a real one
        stopSimulator(sim);
    }

    void hangsUpAndComesBack()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("tty");
        QProcess sim;
        QVERIFY(startSimulator(sim, {"--period", "50", "--link", link, "--at", "400:hangup 300"})
                    .startsWith("/dev/"));
        {
            Client client(link);
            bool hungUp = false;
            QVERIFY(frameTypes(client.read(3000, &hungUp)).value(1) >= 2);
            QVERIFY(hungUp);
        }
        const QString reopened = waitForOutputLine(sim, "reopened ", 3000);
        QVERIFY2(!reopened.isEmpty(), qPrintable(sim.readAllStandardError()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), reopened.mid(9));
        Client again(link);
        QVERIFY(frameTypes(again.read(400)).value(1) >= 2);
        stopSimulator(sim);
    }

    void fillerKeepsTheLineBusy()
    {
        QProcess sim;
        Client client(startSimulator(sim, {"--period", "200", "--no-pause"}));
        QVERIFY(client.read(1000).count('\0') >= 10);
        stopSimulator(sim);
    }

    void silentLineStillAnswers()
    {
        QProcess sim;
        Client client(startSimulator(sim, {"--period", "50", "--silent"}));
        QVERIFY(client.read(500).isEmpty());
        const QByteArray query = DataProcess::getInstance()->queryVersion();
        QCOMPARE(::write(client.fd, query.constData(), query.size()), ssize_t(query.size()));
        QCOMPARE(frameTypes(client.read(2000)), (QMap<int, int>{{3, 1}}));
        stopSimulator(sim);
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_sim_process.moc"
