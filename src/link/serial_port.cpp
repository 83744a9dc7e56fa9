#include "serial_port.h"

#include "common/single_instance.h"
#include "protocol/data_process.h"
#include "protocol/frame.h"
#include "protocol/message.h"
#include "protocol/status_record.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

SerialPort *SerialPort::getInstance()
{
    return SingleInstance<SerialPort>::get();
}

SerialPort::SerialPort()
    : QObject(nullptr)
    , recvTimer(new QTimer)
{
    recvTimer->setSingleShot(true);
    connect(recvTimer, &QTimer::timeout, this, &SerialPort::recvTimeout);
}

SerialPort::~SerialPort()
{
    // Runs after the worker has stopped (leaveWorker stopped the timer there).
    {
        QMutexLocker lock(&mutex);
        if (qSerialPort)
            releasePort(Release::Now);
    }
    recvTimer->stop();
    delete recvTimer;
}

void SerialPort::moveToWorker(QThread *worker)
{
    moveToThread(worker);
    recvTimer->moveToThread(worker);
}

void SerialPort::leaveWorker()
{
    Q_ASSERT(QThread::currentThread() == thread());
    recvTimer->stop();
}

bool SerialPort::openPort(const QString &portName)
{
    QMutexLocker lock(&mutex);
    qDebug().noquote().nospace() << "Open : " << portName;
    if (qSerialPort)
        releasePort(Release::Now);

    auto *port = new QSerialPort;
    qSerialPort = port;
    // The port's own context keeps the handler on the port's thread.
    readConnection =
        connect(port, &QSerialPort::readyRead, port, [this, port] { takePortBytes(port); });
    port->setPortName(portName);
    port->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setStopBits(QSerialPort::OneStop);
    port->open(QIODevice::ReadWrite);

    if (!port->isOpen()) {
        releasePort(Release::Now);
        return false;
    }
    // Connected only now: open() reports its own failures synchronously,
    // while `mutex` is held.
    errorConnection =
        connect(port, &QSerialPort::errorOccurred, port,
                [this, port](QSerialPort::SerialPortError error) { handlePortError(port, error); });
    return true;
}

void SerialPort::closePort()
{
    QMutexLocker lock(&mutex);
    if (!qSerialPort)
        return;
    qDebug().noquote().nospace() << "Close : " << qSerialPort->portName();
    releasePort(Release::Now);
}

bool SerialPort::isPortOpen()
{
    QMutexLocker lock(&mutex);
    return qSerialPort && qSerialPort->isOpen();
}

void SerialPort::sendData(const QByteArray &data)
{
    QMutexLocker lock(&mutex);
    if (!qSerialPort || data.isEmpty())
        return;
    qDebug().noquote().nospace() << "send: " << data.toHex(' ');
    qSerialPort->write(data);
}

// `mutex` is held. Handlers are disconnected first: closing can report errors
// synchronously, and those must not come back here.
void SerialPort::releasePort(Release when)
{
    QSerialPort *port = qSerialPort;
    qSerialPort = nullptr;
    disconnect(readConnection);
    disconnect(errorConnection);
    if (port->isOpen())
        port->close();
    if (when == Release::Now)
        delete port;
    else
        port->deleteLater();
}

// On the port's thread.
void SerialPort::takePortBytes(QSerialPort *port)
{
    const QByteArray bytes = port->readAll();
    if (bytes.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> lock(inboxLock);
        inbox.append(bytes);
    }
    QMetaObject::invokeMethod(this, "readFromSerialPort", Qt::QueuedConnection);
}

// On the port's thread. A vanished peer or adapter makes the port report
// read and resource errors in a tight loop for as long as it stays open.
void SerialPort::handlePortError(QSerialPort *port, QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    {
        QMutexLocker lock(&mutex);
        if (qSerialPort != port || !port->isOpen())
            return;
        qDebug().noquote().nospace() << "Close : " << port->portName();
        // We are inside the port's own signal: it must outlive the emission.
        releasePort(Release::Later);
    }
    emit portLost();
}

void SerialPort::readFromSerialPort()
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> lock(inboxLock);
        bytes.swap(inbox);
    }
    if (bytes.isEmpty())
        return;
    recvBuffer.append(bytes);
    recvTimer->start(serial_link::kQuietTimeMs);
    if (recvBuffer.size() > serial_link::kMaxBufferedBytes) {
        // The line has not been quiet for a long while: decode what is
        // complete now, keeping a frame that may still be arriving.
        QMutexLocker lock(&mutex);
        decodeBuffered(TailPolicy::KeepIncomplete);
        return;
    }
    bufferedBytes.store(recvBuffer.size(), std::memory_order_relaxed);
}

void SerialPort::recvTimeout()
{
    QMutexLocker lock(&mutex);
    decodeBuffered(TailPolicy::DropIncomplete);
}

// `mutex` is held for the whole pass, emissions included.
void SerialPort::decodeBuffered(TailPolicy policy)
{
    const QVector<Frame> frames = takeFrames(recvBuffer, policy);
    bufferedBytes.store(recvBuffer.size(), std::memory_order_relaxed);
    for (const Frame &f : frames) {
        switch (static_cast<FrameType>(f.type)) {
        case FrameType::Status:
            if (const auto record = parseDevInfo(f.payload))
                emit dataReceived(DataProcess::getInstance()->devInfoToJson(*record));
            else
                qDebug() << "dev info parse error";
            break;
        case FrameType::Message:
            emit msgReceived(decodeMessage(f.payload));
            break;
        case FrameType::CalibTable:
            emit calibTableReceived(f.payload);
            break;
        default: // types 0 and 2 carry nothing this program uses
            break;
        }
    }
}
