#pragma once

#include "transport.h"

#include <QTimer>

class QSocketNotifier;

namespace sim {

// A pseudo-terminal pair. The simulator keeps only the master; with the slave
// closed on this side, the master reports a hang-up while no client holds the
// slave, which is how a client's arrival and departure are seen.
class PtyTransport : public Transport {
    Q_OBJECT
public:
    // linkPath: optional symlink to the slave, kept up to date and removed on
    // destruction. pollMs: how often the connection state is checked.
    explicit PtyTransport(QString linkPath = {}, int pollMs = 100, QObject *parent = nullptr);
    ~PtyTransport() override;

    bool open(QString &error) override;
    QString name() const override { return slavePath_; }
    bool isClientConnected() const override { return connected_; }
    void write(const QByteArray &bytes) override;
    void hangUp(int reopenAfterMs) override;

private:
    void pollState();
    void readAvailable();
    void flushPending();
    void setConnected(bool on);
    void closeMaster();
    bool updateLink(QString &error);
    void removeLink();

    QString linkPath_;
    QString slavePath_;
    int masterFd_ = -1;
    bool connected_ = false;
    QSocketNotifier *readNotifier_ = nullptr;
    // Bytes the terminal had no room for yet, written as the client reads
    // (a client pausing for a moment must not lose the rest of a frame).
    QByteArray pending_;
    QSocketNotifier *writeNotifier_ = nullptr;
    QTimer pollTimer_;
};

} // namespace sim
