// The pseudo-terminal line: a client's arrival and departure, bytes both
// ways, raw mode, the symlink and hanging up.

#include "pty_transport.h"
#include "serial_transport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
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
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                out.append(buf, static_cast<int>(n));
        }
        QCoreApplication::processEvents();
    }
    return out;
}

// The bytes of the received signals, once at least size have come (or 2 s).
QByteArray collect(QSignalSpy &received, int size)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < size && t.elapsed() < 2000) {
        if (received.isEmpty())
            received.wait(50);
        for (; !received.isEmpty(); received.removeFirst())
            got += received.first().at(0).toByteArray();
    }
    return got;
}

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
        QSignalSpy received(&line, &Transport::received);

        line.write("nobody listens"); // dropped, not queued for a later client
        const int fd = openClient(line.name());
        QVERIFY(fd >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 2000);
        QVERIFY(line.isClientConnected());

        // Raw mode: bytes that a terminal would translate pass unchanged.
        const QByteArray binary = QByteArray::fromHex("AA0D0A0003157F55FF00");
        QCOMPARE(::write(fd, binary.constData(), binary.size()), ssize_t(binary.size()));
        QCOMPARE(collect(received, binary.size()), binary);

        line.write(binary);
        QCOMPARE(readClient(fd, 200), binary);

        ::close(fd);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 2000);
        QVERIFY(!line.isClientConnected());

        // A second client is seen as well.
        const int fd2 = openClient(line.name());
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 2, 2000);
        ::close(fd2);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 2, 2000);
    }

    void linkFollowsTheLineAndGoesAtTheEnd()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyLASER");
        {
            PtyTransport line(link, 20);
            QString error;
            QVERIFY2(line.open(error), qPrintable(error));
            QCOMPARE(QFileInfo(link).symLinkTarget(), line.name());

            QSignalSpy reopened(&line, &Transport::reopened);
            const int fd = openClient(link);
            QVERIFY(fd >= 0);
            QTRY_VERIFY_WITH_TIMEOUT(line.isClientConnected(), 2000);
            line.hangUp(50);
            QVERIFY(!line.isClientConnected());
            // The client sees the hang-up.
            pollfd p{fd, POLLIN, 0};
            QVERIFY(::poll(&p, 1, 1000) > 0);
            QVERIFY(p.revents & (POLLHUP | POLLERR));
            ::close(fd);

            QTRY_COMPARE_WITH_TIMEOUT(reopened.size(), 1, 2000);
            QCOMPARE(QFileInfo(link).symLinkTarget(), line.name());
            const int fd2 = openClient(link);
            QVERIFY(fd2 >= 0);
            QTRY_VERIFY_WITH_TIMEOUT(line.isClientConnected(), 2000);
            ::close(fd2);
        }
        QVERIFY(!QFileInfo(link).isSymLink());
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

    // --port: the same controller over a serial device; a terminal pair
    // stands in for the null-modem cable.
    void serialPortTransportSpeaksOverATty()
    {
        int master = -1;
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const QString slavePath = QString::fromLocal8Bit(::ttyname(slave));
        SerialTransport line(slavePath);
        QSignalSpy connected(&line, &Transport::clientConnected);
        QSignalSpy received(&line, &Transport::received);
        QString error;
        QVERIFY2(line.open(error), qPrintable(error));
        QCOMPARE(connected.size(), 1);
        QVERIFY(line.isClientConnected());
        ::fcntl(master, F_SETFL, O_NONBLOCK);

        const QByteArray frame = QByteArray::fromHex("AA05000A0000001287550D0A");
        QCOMPARE(::write(master, frame.constData(), frame.size()), ssize_t(frame.size()));
        QCOMPARE(collect(received, frame.size()), frame);

        line.write(frame);
        QCOMPARE(readClient(master, 300), frame);

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
