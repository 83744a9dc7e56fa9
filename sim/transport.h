#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace sim {

// The controller's end of the line.
class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Transport() override = default;

    // Opens the line; on failure returns false and sets error.
    virtual bool open(QString &error) = 0;
    // What a client opens: the pseudo-terminal's slave path or the port name.
    virtual QString name() const = 0;
    // True while a client has the line open (always true for a real port,
    // which cannot tell).
    virtual bool isClientConnected() const = 0;
    // Writes bytes if a client is connected; otherwise drops them.
    virtual void write(const QByteArray &bytes) = 0;
    // Drops the line as an unplugged adapter would, and offers it again after
    // reopenAfterMs (the pseudo-terminal's path may change; see reopened).
    virtual void hangUp(int reopenAfterMs) = 0;

signals:
    void received(const QByteArray &bytes);
    void clientConnected();
    void clientDisconnected();
    void reopened(const QString &name);
    void failed(const QString &error);
};

} // namespace sim
