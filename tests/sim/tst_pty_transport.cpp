// The lines: a client's arrival and departure on the pseudo-terminal, bytes
// both ways in raw mode, and a real serial port. The symlink and hanging up
// are tested on the running program (tests/e2e).

#include "pty_transport.h"
#include "serial_transport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

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
