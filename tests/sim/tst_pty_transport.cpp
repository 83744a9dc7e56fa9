// The lines: a client's arrival and departure on the pseudo-terminal, bytes
// both ways in raw mode, and a real serial port. The symlink and hanging up
// are tested on the running program (tests/e2e).

#include "pty_transport.h"
#include "serial_transport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

using namespace sim;

namespace {

int openClient(const QString &path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

QByteArray readClient(int fd, int waitMs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < waitMs) {
        pollfd p{fd, POLLIN, 0};
        char buf[256];
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                out.append(buf, static_cast<int>(n));
        }
        QCoreApplication::processEvents();
    }
    return out;
}

// The client writes bytes; returns what the line received (within 2 s).
QByteArray roundTrip(Transport &line, int fd, const QByteArray &bytes)
{
    QByteArray got;
    const auto c =
        QObject::connect(&line, &Transport::received, [&got](const QByteArray &b) { got += b; });
    if (::write(fd, bytes.constData(), bytes.size()) == bytes.size())
        (void)QTest::qWaitFor([&] { return got.size() >= bytes.size(); }, 2000);
    QObject::disconnect(c);
    return got;
}

// Bytes that a terminal in cooked mode would translate.
const QByteArray kBinary = QByteArray::fromHex("AA0D0A0003157F55FF00");

} // namespace

class TestPtyTransport : public QObject {
    Q_OBJECT
private slots:
    void clientComesAndGoes()
    {
        PtyTransport line({}, 20);
        QString error;
        QVERIFY2(line.open(error), qPrintable(error));
        QVERIFY(line.name().startsWith("/dev/"));
        QVERIFY(!line.isClientConnected());
        QSignalSpy connected(&line, &Transport::clientConnected);
        QSignalSpy disconnected(&line, &Transport::clientDisconnected);

        line.write("nobody listens"); // dropped, not queued for a later client
        for (int client = 1; client <= 2; ++client) {
            const int fd = openClient(line.name());
            QVERIFY(fd >= 0);
            QTRY_COMPARE_WITH_TIMEOUT(connected.size(), client, 2000);
            QVERIFY(line.isClientConnected());
            QCOMPARE(roundTrip(line, fd, kBinary), kBinary);
            line.write(kBinary);
            QCOMPARE(readClient(fd, 200), kBinary);
            ::close(fd);
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), client, 2000);
            QVERIFY(!line.isClientConnected());
        }
    }

    void aReadingClientGetsAWriteLargerThanThePtyBuffer()
    {
        // 60,000 bytes, near the largest message frame: far more than the
        // terminal buffers, so the rest waits until the client has read.
        PtyTransport line({}, 20);
        QString error;
        QVERIFY2(line.open(error), qPrintable(error));
        const int fd = openClient(line.name());
        QVERIFY(fd >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(line.isClientConnected(), 2000);
        QByteArray big(60000, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>('a' + i % 26);
        QByteArray got;
        std::atomic<int> received{0};
        std::atomic<bool> done{false};
        // A slow client: small reads with pauses.
        std::thread reader([&] {
            char buf[1024];
            while (!done) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                    const ssize_t n = ::read(fd, buf, sizeof buf);
                    if (n > 0) {
                        got.append(buf, static_cast<int>(n));
                        received += static_cast<int>(n);
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        });
        QElapsedTimer t;
        t.start();
        line.write(big);
        line.write("after");        // queued behind, not interleaved
        QVERIFY(t.elapsed() < 100); // the simulator does not wait for the client
        QVERIFY(QTest::qWaitFor([&] { return received >= big.size() + 5; }, 10000));
        done = true;
        reader.join();
        QCOMPARE(got.size(), big.size() + 5);
        QVERIFY(got == big + "after");

        // A client that stops reading: the simulator goes on, the excess is
        // dropped rather than held without bound.
        t.restart();
        for (int i = 0; i < 20; ++i)
            line.write(big);
        QVERIFY(t.elapsed() < 1000);
        ::close(fd);
        QTRY_VERIFY_WITH_TIMEOUT(!line.isClientConnected(), 2000);
    }

    void refusesToReplaceARegularFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("taken");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        PtyTransport line(path, 20);
        QString error;
        QVERIFY(!line.open(error));
        QVERIFY(error.contains("not a symbolic link"));
        QVERIFY(QFileInfo(path).isFile());
    }

    // --port: a terminal pair stands in for the null-modem cable.
    void serialPortTransportSpeaksOverATty()
    {
        int master = -1;
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        SerialTransport line(QString::fromLocal8Bit(::ttyname(slave)));
        QSignalSpy connected(&line, &Transport::clientConnected);
        QString error;
        QVERIFY2(line.open(error), qPrintable(error));
        QCOMPARE(connected.size(), 1);
        QVERIFY(line.isClientConnected());
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        QCOMPARE(roundTrip(line, master, kBinary), kBinary);
        line.write(kBinary);
        QCOMPARE(readClient(master, 300), kBinary);

        QSignalSpy reopened(&line, &Transport::reopened);
        line.hangUp(20);
        QVERIFY(!line.isClientConnected());
        QTRY_COMPARE_WITH_TIMEOUT(reopened.size(), 1, 2000);
        QVERIFY(line.isClientConnected());
        ::close(slave);
        ::close(master);
    }
};

QTEST_GUILESS_MAIN(TestPtyTransport)
#include "tst_pty_transport.moc"
