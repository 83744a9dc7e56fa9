#pragma once

#include "transport.h"

class QSerialPort;

namespace sim {

// A real serial port at 115200 8N1 without flow control, for a bench with two
// adapters and a null-modem cable. The far end cannot be seen, so a client
// counts as connected while the port is open.
class SerialTransport : public Transport {
    Q_OBJECT
public:
    explicit SerialTransport(QString portName, QObject *parent = nullptr);
    ~SerialTransport() override;

    bool open(QString &error) override;
    QString name() const override { return portName_; }
    bool isClientConnected() const override;
    void write(const QByteArray &bytes) override;
    void hangUp(int reopenAfterMs) override;

private:
    QString portName_;
    QSerialPort *port_ = nullptr;
};

} // namespace sim
