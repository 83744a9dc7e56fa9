#pragma once

// Shared helpers of the link tests: a real pseudo-terminal standing in for
// the controller's end of the line, incoming frames, and a capture of the
// debug output.

#include "protocol/frame.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

// The controller's end is the master; the link opens the slave by its path.
// The test keeps its own slave descriptor open so that the master never
// reports a hang-up while the link has the slave closed.
class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            master = slave = -1;
            return;
        }
        path = QString::fromLocal8Bit(name);
        termios tio;
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
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

    bool isValid() const { return master >= 0; }
    const QString &slavePath() const { return path; }
    int slaveFd() const { return slave; }

    // Blocking; safe from any thread.
    bool write(const QByteArray &bytes) const
    {
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(master, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            left -= n;
        }
        return true;
    }

    // What the link wrote, while the caller's event loop keeps running (the
    // port writes from it). Stops at `expected` bytes or after `timeoutMs`.
    QByteArray read(int expected, int timeoutMs) const
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < expected && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 5) <= 0 || !(pfd.revents & POLLIN))
                continue;
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, int(n));
        }
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

// An incoming frame: AA | L (LE16) | type | payload | crc16 (LE) | 55.
inline QByteArray incomingFrame(quint8 type, const QByteArray &payload)
{
    QByteArray f;
    f.append(char(frame::kHeader));
    f.append(char(payload.size() & 0xFF));
    f.append(char(payload.size() >> 8));
    f.append(char(type));
    f.append(payload);
    const quint16 crc = crc16(f);
    f.append(char(crc & 0xFF));
    f.append(char(crc >> 8));
    f.append(char(frame::kTrailer));
    return f;
}

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

// Collects the debug lines of every thread once installed (QtTest installs
// its own handler when the run starts, so install from initTestCase) and
// hands them on to the previous handler.
class DebugCapture {
public:
    DebugCapture() = default;
    ~DebugCapture()
    {
        if (current().load() == this) {
            qInstallMessageHandler(previous);
            current().store(nullptr);
        }
    }
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    void install()
    {
        previous = qInstallMessageHandler(&DebugCapture::handler);
        current().store(this);
    }

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(guard);
        return captured;
    }
    QStringList linesStartingWith(const QString &prefix) const
    {
        QStringList out;
        for (const QString &line : lines())
            if (line.startsWith(prefix))
                out.append(line);
        return out;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(guard);
        captured.clear();
    }

private:
    static std::atomic<DebugCapture *> &current()
    {
        static std::atomic<DebugCapture *> capture{nullptr};
        return capture;
    }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
    {
        if (DebugCapture *c = current().load()) {
            {
                std::lock_guard<std::mutex> lock(c->guard);
                c->captured.append(msg);
            }
            if (c->previous)
                c->previous(type, context, msg);
        }
    }

    mutable std::mutex guard;
    QStringList captured;
    QtMessageHandler previous = nullptr;
};

// Processor time this process used, in milliseconds.
inline double processCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
