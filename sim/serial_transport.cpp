#include "serial_transport.h"

#include <QSerialPort>
#include <QTimer>

namespace sim {

SerialTransport::SerialTransport(QString portName, QObject *parent)
    : Transport(parent)
    , portName_(std::move(portName))
{
}

SerialTransport::~SerialTransport()
{
    delete port_;
}

bool SerialTransport::open(QString &error)
{
    if (!port_) {
        port_ = new QSerialPort;
        connect(port_, &QSerialPort::readyRead, this, [this] { emit received(port_->readAll()); });
    }
    port_->setPortName(portName_);
    if (!port_->open(QIODevice::ReadWrite)) {
        error = QStringLiteral("%1: %2").arg(portName_, port_->errorString());
        return false;
    }
    port_->setBaudRate(QSerialPort::Baud115200);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    emit clientConnected();
    return true;
}

bool SerialTransport::isClientConnected() const
{
    return port_ && port_->isOpen();
}

void SerialTransport::write(const QByteArray &bytes)
{
    if (isClientConnected())
        port_->write(bytes);
}

void SerialTransport::hangUp(int reopenAfterMs)
{
    if (!isClientConnected())
        return;
    port_->close();
    emit clientDisconnected();
    QTimer::singleShot(qMax(0, reopenAfterMs), this, [this] {
        QString error;
        if (open(error))
            emit reopened(portName_);
        else
            emit failed(error);
    });
}

} // namespace sim
