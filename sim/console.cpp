#include "console.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

Console::Console(int fd, QObject *parent)
    : QObject(parent)
    , fd_(fd)
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Console::readAvailable);
}

void Console::stop()
{
    // Called from the notifier's own signal: let it go once that returns.
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
    if (!pending_.isEmpty())
        emit lineEntered(QString::fromUtf8(pending_));
    pending_.clear();
    emit inputClosed();
}

void Console::readAvailable()
{
    char buf[1024];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        stop();
        return;
    }
    pending_.append(buf, static_cast<int>(n));
    int nl;
    while ((nl = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(nl);
        pending_.remove(0, nl + 1);
        emit lineEntered(QString::fromUtf8(line).trimmed());
    }
}

} // namespace sim
