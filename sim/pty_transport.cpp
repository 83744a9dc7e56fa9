#include "pty_transport.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// A client that stopped reading: what does not fit behind this is dropped,
// like a UART overrun, rather than held without bound.
constexpr int kMaxPendingBytes = 256 * 1024;

} // namespace

PtyTransport::PtyTransport(QString linkPath, int pollMs, QObject *parent)
    : Transport(parent)
    , linkPath_(std::move(linkPath))
{
    pollTimer_.setInterval(pollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &PtyTransport::pollState);
}

PtyTransport::~PtyTransport()
{
    closeMaster();
    removeLink();
}

bool PtyTransport::open(QString &error)
{
    closeMaster();
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    const char *path = ::ttyname(slave);
    slavePath_ = path ? QString::fromLocal8Bit(path) : QString();
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    masterFd_ = master;
    if (slavePath_.isEmpty()) {
        error = QStringLiteral("cannot name the pseudo-terminal");
        closeMaster();
        return false;
    }
    if (!updateLink(error)) {
        closeMaster();
        return false;
    }

    readNotifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Read, this);
    readNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyTransport::readAvailable);
    writeNotifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyTransport::flushPending);
    pollTimer_.start();
    pollState();
    return true;
}

void PtyTransport::pollState()
{
    if (masterFd_ < 0)
        return;
    pollfd p{masterFd_, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return;
    setConnected((p.revents & POLLHUP) == 0);
}

void PtyTransport::setConnected(bool on)
{
    if (on == connected_)
        return;
    connected_ = on;
    // While nobody holds the slave the master is always "readable" (hang-up),
    // so reading is driven by the notifier only while connected.
    if (readNotifier_)
        readNotifier_->setEnabled(on);
    if (!on) {
        // Bytes for a client that left are not kept for the next one.
        pending_.clear();
        if (writeNotifier_)
            writeNotifier_->setEnabled(false);
    }
    if (on)
        emit clientConnected();
    else
        emit clientDisconnected();
}

void PtyTransport::readAvailable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd_, buf, sizeof buf);
        if (n > 0) {
            emit received(QByteArray(buf, static_cast<int>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // EIO (or end of file): the client closed the slave.
        setConnected(false);
        return;
    }
}

void PtyTransport::write(const QByteArray &bytes)
{
    if (!connected_ || masterFd_ < 0)
        return;
    if (pending_.size() + bytes.size() > kMaxPendingBytes)
        return;
    pending_.append(bytes);
    flushPending();
}

void PtyTransport::flushPending()
{
    while (!pending_.isEmpty() && masterFd_ >= 0) {
        const ssize_t n = ::write(masterFd_, pending_.constData(), size_t(pending_.size()));
        if (n > 0) {
            pending_.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The rest goes when the client has read some.
            writeNotifier_->setEnabled(true);
            return;
        }
        pending_.clear(); // the client is gone (EIO): nothing to write to
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
}

void PtyTransport::closeMaster()
{
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    pending_.clear();
    if (masterFd_ >= 0)
        ::close(masterFd_);
    masterFd_ = -1;
    pollTimer_.stop();
}

void PtyTransport::hangUp(int reopenAfterMs)
{
    if (masterFd_ < 0)
        return; // already down; a reopen is on its way
    closeMaster();
    setConnected(false);
    removeLink();
    QTimer::singleShot(qMax(0, reopenAfterMs), this, [this] {
        QString error;
        if (open(error))
            emit reopened(slavePath_);
        else
            emit failed(error);
    });
}

bool PtyTransport::updateLink(QString &error)
{
    if (linkPath_.isEmpty())
        return true;
    const QFileInfo info(linkPath_);
    if (info.exists() && !info.isSymLink()) {
        error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath_);
        return false;
    }
    QFile::remove(linkPath_);
    if (::symlink(slavePath_.toLocal8Bit().constData(), linkPath_.toLocal8Bit().constData()) != 0) {
        error = QStringLiteral("symlink %1: %2")
                    .arg(linkPath_, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void PtyTransport::removeLink()
{
    if (!linkPath_.isEmpty() && QFileInfo(linkPath_).isSymLink())
        QFile::remove(linkPath_);
}

} // namespace sim
