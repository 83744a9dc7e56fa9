#pragma once

// Shared helpers of the link tests: a real pseudo-terminal standing in for
// the controller's end of the line, incoming frames, and a capture of the
// debug output.

#include "frame_encoding.h"

#include <QMetaMethod>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

// The controller's end is the master; the link opens the slave by its path.
// The test keeps its own slave descriptor open so that the master never
// reports a hang-up while the link has the slave closed. The slave starts at
// 9600 baud with two stop bits, settings the link must replace.
class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        path = QString::fromLocal8Bit(name);
        termios tio;
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        tio.c_cflag |= CSTOPB;
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ~PtyPair()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    const QString &slavePath() const { return path; }
    int slaveFd() const { return slave; }

    // Blocking; safe from any thread.
    bool write(const QByteArray &bytes) const
    {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::write(master, bytes.constData() + at, size_t(bytes.size() - at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }

    // What the link wrote, while the caller's event loop keeps running (the
    // port writes from it). Stops at `expected` bytes or after `timeoutMs`.
    QByteArray read(int expected, int timeoutMs) const
    {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                char buf[4096];
                pollfd pfd{master, POLLIN, 0};
                while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
                    const ssize_t n = ::read(master, buf, sizeof buf);
                    if (n <= 0)
                        break;
                    got.append(buf, int(n));
                }
                return got.size() >= expected;
            },
            timeoutMs);
        return got;
    }
    // Everything the link writes within `ms`.
    QByteArray readFor(int ms) const { return read(1 << 30, ms); }

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

private:
    int master = -1;
    int slave = -1;
    QString path;
};

// The name a port reports for itself ("pts/3" for "/dev/pts/3").
inline QString portNameOf(const QString &path)
{
    QSerialPort port;
    port.setPortName(path);
    return port.portName();
}

// Incoming frames come from the shared encoder, which does not use the
// program's CRC.
using testsupport::incomingFrame;

// A status frame that decodes, carrying `alarmState` so that records can be
// told apart; `reservedBytes` pads it with the payload's reserved block.
inline QByteArray statusFrame(quint16 alarmState, quint16 reservedBytes = 0)
{
    QByteArray payload(68 + reservedBytes, '\0');
    payload[0] = char(alarmState & 0xFF);
    payload[1] = char(alarmState >> 8);
    payload[34] = char(reservedBytes & 0xFF); // count of the reserved block
    payload[35] = char(reservedBytes >> 8);
    return incomingFrame(1, payload);
}

inline QByteArray messageFrame(const QByteArray &text)
{
    return incomingFrame(3, text);
}

// Signatures of the methods a class adds to its meta-object, in index order.
inline QStringList methodsOf(const QMetaObject &mo)
{
    QStringList methods;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        methods.append(QString::fromLatin1(mo.method(i).methodSignature()));
    return methods;
}

// The parameter names of the first three signals, as QML handlers see them.
inline QList<QByteArray> signalParameterNames(const QMetaObject &mo)
{
    QList<QByteArray> names;
    for (int i = 0; i < 3; ++i)
        names += mo.method(mo.methodOffset() + i).parameterNames();
    return names;
}

// Collects the debug lines of every thread and hands them on. QtTest installs
// its own handler when the run starts (and restores the old one at the end),
// so install from initTestCase.
class DebugCapture {
public:
    static void install() { previous = qInstallMessageHandler(&handler); }
    static QStringList lines()
    {
        std::lock_guard<std::mutex> lock(guard);
        return captured;
    }
    static QStringList linesStartingWith(const QString &prefix)
    {
        return lines().filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    }
    static void clear()
    {
        std::lock_guard<std::mutex> lock(guard);
        captured.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
    {
        {
            std::lock_guard<std::mutex> lock(guard);
            captured.append(msg);
        }
        previous(type, context, msg);
    }

    static inline std::mutex guard;
    static inline QStringList captured;
    static inline QtMessageHandler previous = nullptr;
};
