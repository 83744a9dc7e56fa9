#include "link/serial_port.h"
#include "link/thread_order.h"
#include "link_test_support.h"

#include <QJsonObject>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

const QString kMissingPort = QStringLiteral("/dev/orrindel-no-such-port");

class WorkerThread : public QThread {
public:
    explicit WorkerThread(SerialPort *port)
        : port(port)
    {
    }

protected:
    void run() override
    {
        exec();
        port->leaveWorker();
        threadEndReached(this);
    }

private:
    SerialPort *port;
};

// A SerialPort on its own worker thread, as the facade runs it, with its
// results collected on this (the test's) thread.
struct Link {
    SerialPort *port = new SerialPort;
    WorkerThread worker{port};
    QObject receiver;
    QVector<int> statuses;
    QStringList messages;
    QVector<Clock::time_point> messageTimes;
    QVector<QByteArray> tables;
    int lost = 0;
    bool onTestThread = true;

    Link()
    {
        port->moveToWorker(&worker);
        QObject::connect(port, &SerialPort::dataReceived, &receiver, [this](QJsonObject rxObj) {
            noteThread();
            statuses.append(rxObj.value("alarmState").toInt());
        });
        QObject::connect(port, &SerialPort::msgReceived, &receiver, [this](QString msg) {
            noteThread();
            messages.append(msg);
            messageTimes.append(Clock::now());
        });
        QObject::connect(port, &SerialPort::calibTableReceived, &receiver,
                         [this](QByteArray table) {
                             noteThread();
                             tables.append(table);
                         });
        QObject::connect(port, &SerialPort::portLost, &receiver, [this] {
            noteThread();
            ++lost;
        });
        worker.start();
    }
    ~Link()
    {
        worker.quit();
        worker.wait();
        threadEndAwaited(&worker);
        delete port;
    }
    void noteThread()
    {
        onTestThread = onTestThread && QThread::currentThread() == receiver.thread();
    }
};

bool lineSettingsApplied(int fd)
{
    termios tio;
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    return cfgetospeed(&tio) == B115200 && cfgetispeed(&tio) == B115200 &&
           (tio.c_cflag & CSIZE) == CS8 && !(tio.c_cflag & PARENB) && !(tio.c_cflag & CSTOPB) &&
           !(tio.c_cflag & CRTSCTS) && !(tio.c_iflag & (IXON | IXOFF));
}

void setSlowLine(int fd)
{
    termios tio;
    ::tcgetattr(fd, &tio);
    cfsetospeed(&tio, B9600);
    cfsetispeed(&tio, B9600);
    tio.c_cflag |= CSTOPB;
    ::tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

    DebugCapture debug;

private slots:
    void initTestCase() { debug.install(); }
    void init() { debug.clear(); }

    // The method indices are part of the interface. The meta-object compiler
    // puts every signal ahead of the slots, so portLost (declared last) takes
    // index 3 and the two slots follow it.
    void metaObjectKeepsItsOrder()
    {
        const QMetaObject &mo = SerialPort::staticMetaObject;
        QStringList methods;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            methods.append(QString::fromLatin1(mo.method(i).methodSignature()));
        QCOMPARE(methods, (QStringList{"dataReceived(QJsonObject)", "msgReceived(QString)",
                                       "calibTableReceived(QByteArray)", "portLost()",
                                       "readFromSerialPort()", "recvTimeout()"}));
        const int first = mo.methodOffset();
        QCOMPARE(mo.method(first).parameterNames(), QList<QByteArray>{"rxObj"});
        QCOMPARE(mo.method(first + 1).parameterNames(), QList<QByteArray>{"msg"});
        QCOMPARE(mo.method(first + 2).parameterNames(), QList<QByteArray>{"table"});
        QCOMPARE(mo.method(first + 4).access(), QMetaMethod::Private);
        QCOMPARE(mo.method(first + 5).access(), QMetaMethod::Private);
    }

    void openAppliesTheLineSettingsAndCloseReleases()
    {
        PtyPair a;
        QVERIFY(a.isValid());
        setSlowLine(a.slaveFd());
        Link link;
        QVERIFY(!link.port->isPortOpen());

        QVERIFY(link.port->openPort(a.slavePath()));
        QVERIFY(link.port->isPortOpen());
        QVERIFY(lineSettingsApplied(a.slaveFd()));
        QCOMPARE(debug.lines(), QStringList{"Open : " + a.slavePath()});

        link.port->closePort();
        QVERIFY(!link.port->isPortOpen());
        QCOMPARE(debug.linesStartingWith("Close : "),
                 QStringList{"Close : " + portNameOf(a.slavePath())});

        // Closing again, and writing while closed, leave no trace at all.
        debug.clear();
        link.port->closePort();
        link.port->sendData(QByteArray::fromHex("aa0300"));
        QVERIFY(!link.port->isPortOpen());
        QCOMPARE(a.readFor(200), QByteArray());
        QCOMPARE(debug.lines(), QStringList());
    }

    void sendWritesTheWholeFrameAndOneHexLine()
    {
        PtyPair a;
        Link link;
        link.port->sendData(QByteArray::fromHex("aa0300"));
        QCOMPARE(debug.lines(), QStringList()); // never opened: not even "send: "

        QVERIFY(link.port->openPort(a.slavePath()));
        const QByteArray frame = QByteArray::fromHex("aa050000a0000000ff1255");
        link.port->sendData(frame);
        link.port->sendData(QByteArray()); // nothing to write
        QCOMPARE(a.read(frame.size() + 1, 2000), frame);
        QCOMPARE(debug.linesStartingWith("send: "),
                 QStringList{"send: aa 05 00 00 a0 00 00 00 ff 12 55"});
    }

    void failedOpenLeavesTheLinkClosed()
    {
        PtyPair a;
        Link link;
        QVERIFY(!link.port->openPort(kMissingPort));
        QVERIFY(!link.port->isPortOpen());

        // With a port open, the failed open closes it too, without "Close : ".
        QVERIFY(link.port->openPort(a.slavePath()));
        debug.clear();
        QVERIFY(!link.port->openPort(kMissingPort));
        QVERIFY(!link.port->isPortOpen());
        QCOMPARE(debug.lines(), QStringList{"Open : " + kMissingPort});
        link.port->sendData(QByteArray::fromHex("aa0300"));
        QCOMPARE(a.readFor(200), QByteArray());
        // Nothing that arrives on the old line is decoded any more.
        a.write(messageFrame("late"));
        QTest::qWait(300);
        QCOMPARE(link.messages, QStringList());

        // The old port was released: it can be opened again.
        QVERIFY(link.port->openPort(a.slavePath()));
    }

    void reopenSwitchesPortsSilently()
    {
        PtyPair a, b;
        setSlowLine(b.slaveFd());
        Link link;
        QVERIFY(link.port->openPort(a.slavePath()));
        debug.clear();
        QVERIFY(link.port->openPort(b.slavePath()));
        QVERIFY(link.port->isPortOpen());
        QCOMPARE(debug.lines(), QStringList{"Open : " + b.slavePath()});
        QVERIFY(lineSettingsApplied(b.slaveFd()));

        const QByteArray frame = QByteArray::fromHex("aa050000a0000000ff1255");
        link.port->sendData(frame);
        QCOMPARE(b.read(frame.size(), 2000), frame);
        QCOMPARE(a.readFor(200), QByteArray());

        a.write(messageFrame("from a"));
        b.write(messageFrame("from b"));
        QTRY_COMPARE_WITH_TIMEOUT(link.messages, QStringList{"from b"}, 3000);
        QTest::qWait(200);
        QCOMPARE(link.messages, QStringList{"from b"});
    }

    // Decoding waits for 75 ms of silence: a frame in chunks 10 ms apart is
    // decoded once, whole, no earlier than 75 ms after its last chunk.
    void chunksCloserThanTheQuietTimeDecodeOnce()
    {
        PtyPair a;
        Link link;
        QVERIFY(link.port->openPort(a.slavePath()));
        const QByteArray text = "chunked message, long enough for three chunks";
        const QByteArray frame = messageFrame(text);

        for (int attempt = 0; attempt < 3; ++attempt) {
            link.messages.clear();
            link.messageTimes.clear();
            Clock::time_point lastWrite;
            std::chrono::milliseconds longestGap{0};
            std::thread writer([&] {
                Clock::time_point previous;
                for (int i = 0; i < 3; ++i) {
                    if (i > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    const int from = i * frame.size() / 3;
                    const int to = (i + 1) * frame.size() / 3;
                    const Clock::time_point now = Clock::now();
                    if (i > 0)
                        longestGap = std::max(
                            longestGap,
                            std::chrono::duration_cast<std::chrono::milliseconds>(now - previous));
                    a.write(frame.mid(from, to - from));
                    previous = lastWrite = Clock::now();
                }
            });
            (void)QTest::qWaitFor([&] { return !link.messages.isEmpty(); }, 3000);
            writer.join();
            QTest::qWait(200);
            if (longestGap > std::chrono::milliseconds(50))
                continue; // the machine stalled the writer: the chunks were not close
            QCOMPARE(link.messages, QStringList{QString::fromUtf8(text)});
            const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
                link.messageTimes[0] - lastWrite);
            QVERIFY2(quiet.count() >= serial_link::kQuietTimeMs - 5,
                     qPrintable(QString("decoded %1 ms after the last chunk").arg(quiet.count())));
            return;
        }
        QSKIP("the writer never managed chunks less than 50 ms apart");
    }

    void burstIsDecodedInOrderInOnePass()
    {
        PtyPair a;
        Link link;
        QVERIFY(link.port->openPort(a.slavePath()));
        QByteArray burst = QByteArray::fromHex("0102") + statusFrame(11) +
                           incomingFrame(0, "zero") + messageFrame("between") +
                           incomingFrame(2, "two") + statusFrame(22) + incomingFrame(1, "short") +
                           incomingFrame(4, QByteArray::fromHex("007f80ff"));
        a.write(burst);
        QTRY_COMPARE_WITH_TIMEOUT(link.tables.size(), 1, 3000);
        QCOMPARE(link.statuses, (QVector<int>{11, 22}));
        QCOMPARE(link.messages, QStringList{"between"});
        QCOMPARE(link.tables[0], QByteArray::fromHex("007f80ff"));
        QCOMPARE(debug.linesStartingWith("dev info parse error").size(), 1);
        QVERIFY(link.onTestThread);
        QCOMPARE(link.port->bufferedByteCount(), 0);
    }

    // Bytes left over from one connection precede the first bytes of the next.
    void leftoverBytesSurviveAReopen()
    {
        PtyPair a, b;
        Link link;
        const QByteArray frame = messageFrame("joined across ports");
        QVERIFY(link.port->openPort(a.slavePath()));
        a.write(frame.left(5));
        QTRY_COMPARE_WITH_TIMEOUT(link.port->bufferedByteCount(), 5, 3000);
        QTest::qWait(serial_link::kQuietTimeMs * 3); // a pass has run and kept them
        QCOMPARE(link.port->bufferedByteCount(), 5);

        link.port->closePort();
        QVERIFY(link.port->openPort(b.slavePath()));
        QCOMPARE(link.port->bufferedByteCount(), 5);
        b.write(frame.mid(5));
        QTRY_COMPARE_WITH_TIMEOUT(link.messages, QStringList{"joined across ports"}, 3000);
        QCOMPARE(link.port->bufferedByteCount(), 0);
    }

    // A controller that never pauses for 75 ms is still decoded, nothing of
    // it is lost, and what the link holds stays bounded.
    void neverQuietLineIsDecodedAndBounded()
    {
        // Large frames, written in pieces that do not line up with them: a
        // pass that cut one off at the end of the buffer would lose it. Few
        // signals also keep the reading thread responsive.
        const int frameCount = serial_link::kMaxBufferedBytes * 5 / 2 / 4075;
        QByteArray stream;
        for (int i = 0; i < frameCount; ++i)
            stream += statusFrame(quint16(i), 4000);
        const int pieceSize = 3000;
        using std::chrono::milliseconds;

        for (int attempt = 0; attempt < 3; ++attempt) {
            PtyPair a;
            Link link;
            QVERIFY(link.port->openPort(a.slavePath()));

            std::atomic<bool> writing{true};
            std::atomic<bool> writeFailed{false};
            milliseconds writerStall{0};
            std::thread writer([&] {
                Clock::time_point previous = Clock::now();
                for (int at = 0; at < stream.size() && !writeFailed; at += pieceSize) {
                    if (!a.write(stream.mid(at, pieceSize)))
                        writeFailed = true;
                    const Clock::time_point now = Clock::now();
                    writerStall = std::max(
                        writerStall, std::chrono::duration_cast<milliseconds>(now - previous));
                    previous = now;
                    std::this_thread::sleep_for(milliseconds(1));
                }
                writing = false;
            });

            int decodedWhileWriting = 0;
            int largestBuffer = 0;
            qint64 readerStall = 0;
            QElapsedTimer clock, step;
            clock.start();
            step.start();
            while (writing && clock.elapsed() < 60000) {
                QTest::qWait(2);
                readerStall = qMax(readerStall, step.restart());
                largestBuffer = qMax(largestBuffer, link.port->bufferedByteCount());
                if (writing)
                    decodedWhileWriting = link.statuses.size();
            }
            writer.join();
            QVERIFY(!writeFailed);
            // A stall of either side lets the line fall quiet mid-frame,
            // which is not the situation under test.
            if (writerStall > milliseconds(60) || readerStall > 60)
                continue;

            QVERIFY2(decodedWhileWriting > 0, "nothing was decoded while the line was busy");
            QVERIFY2(largestBuffer <= serial_link::kMaxBufferedBytes + 128 * 1024,
                     qPrintable(QString("the link held %1 bytes").arg(largestBuffer)));
            QTRY_COMPARE_WITH_TIMEOUT(link.statuses.size(), frameCount, 10000);
            for (int i = 0; i < frameCount; ++i)
                QCOMPARE(link.statuses[i], i);
            return;
        }
        QSKIP("the machine kept stalling the writer or the reader for more than 60 ms");
    }

    // The peer (or the adapter) goes away while the port is open.
    void vanishedPeerClosesThePortOnce()
    {
        auto a = std::make_unique<PtyPair>();
        PtyPair b;
        Link link;
        QVERIFY(link.port->openPort(a->slavePath()));
        debug.clear();

        a->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(link.lost, 1, 5000);
        QVERIFY(!link.port->isPortOpen());

        const double cpuBefore = processCpuMs();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(1000);
        const double share = (processCpuMs() - cpuBefore) / double(wall.elapsed());
        QVERIFY2(share < 0.3, qPrintable(QString("%1 % of a core").arg(share * 100)));

        QCOMPARE(link.lost, 1);
        QCOMPARE(debug.linesStartingWith("Close : "),
                 QStringList{"Close : " + portNameOf(a->slavePath())});
        QVERIFY(link.onTestThread);

        // Already closed: closing writes nothing, and the link opens again.
        link.port->closePort();
        QCOMPARE(debug.linesStartingWith("Close : ").size(), 1);
        QVERIFY(link.port->openPort(b.slavePath()));
        b.write(messageFrame("back"));
        QTRY_COMPARE_WITH_TIMEOUT(link.messages, QStringList{"back"}, 3000);
        QCOMPARE(link.lost, 1);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
