#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace sim {

// Reads command lines from a file descriptor (standard input) without
// blocking the event loop. End of input (e.g. </dev/null, a closed pipe) just
// stops reading; a descriptor that is not open is ignored.
class Console : public QObject {
    Q_OBJECT
public:
    explicit Console(int fd = 0, QObject *parent = nullptr);
    bool isReading() const { return notifier_ != nullptr; }

signals:
    void lineEntered(const QString &line);
    void inputClosed();

private:
    void readAvailable();
    void stop();

    int fd_;
    QSocketNotifier *notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace sim
