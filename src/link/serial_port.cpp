#include "serial_port.h"

#include "common/single_instance.h"
#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/frame.h"
#include "protocol/message.h"
#include "protocol/status_record.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

#include <chrono>

namespace {

qint64 clockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A pass on a busy line looks past at most this many headers whose frames
// reach past the end of the buffer (each look is linear in the buffer).
constexpr int kMaxSkippedHeaders = 16;

// Every complete frame, in order, while the line is still busy. What stays is
// the tail from the first header after the last of them whose frame reaches
// past the end of the buffer: that frame may still be arriving. Such a header
// with a complete frame behind it is not a frame still arriving, so it is
// skipped as corrupt, as a pass on a quiet line would skip it.
QVector<Frame> takeFramesKeepingTail(QByteArray &buffer)
{
    QVector<Frame> frames = takeFrames(buffer, TailPolicy::KeepIncomplete);
    QByteArray rest = buffer;
    for (int skipped = 0; skipped < kMaxSkippedHeaders && rest.size() >= frame::kIncomingOverhead;
         ++skipped) {
        // rest starts with such a header: from here on it is no header.
        rest[0] = '\0';
        const QVector<Frame> behind = takeFrames(rest, TailPolicy::KeepIncomplete);
        if (!behind.isEmpty()) {
            frames += behind;
            buffer = rest;
        }
    }
    return frames;
}

} // namespace

namespace serial_link {

void PassSchedule::chunkArrived(qint64 firstAt, qint64 lastAt)
{
    lastChunkAt = lastAt;
    if (firstUnseenAt == kNoTime)
        firstUnseenAt = firstAt;
}

PassDecision PassSchedule::decide(qint64 now) const
{
    if (lastChunkAt == kNoTime)
        return {};
    const qint64 quietAt = lastChunkAt + kQuietTimeMs;
    if (now >= quietAt)
        return {Pass::Quiet, kNoTime};
    if (firstUnseenAt == kNoTime)
        return {Pass::None, quietAt - now};
    const qint64 dueAt = firstUnseenAt + kMaxDecodeDelayMs;
    if (now >= dueAt)
        return {Pass::Busy, kNoTime};
    return {Pass::None, qMin(quietAt, dueAt) - now};
}

void PassSchedule::passRan(Pass pass)
{
    firstUnseenAt = kNoTime;
    if (pass == Pass::Quiet)
        lastChunkAt = kNoTime;
}

QString openFailureReason(QSerialPort::SerialPortError error, const QString &errorString)
{
    const QString unknown = QStringLiteral("Unknown error");
    if (!errorString.isEmpty() && errorString != unknown)
        return errorString;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("No such device");
    case QSerialPort::PermissionError:
        return QStringLiteral("Permission denied");
    case QSerialPort::OpenError:
        return QStringLiteral("The port is already open");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("Not a serial port");
    case QSerialPort::ResourceError:
        return QStringLiteral("The device is not available");
    default:
        return unknown;
    }
}

} // namespace serial_link

SerialPort *SerialPort::getInstance()
{
    return SingleInstance<SerialPort>::get();
}

SerialPort::SerialPort()
    : QObject(nullptr)
    , recvTimer(new QTimer)
{
    recvTimer->setSingleShot(true);
    recvTimer->setTimerType(Qt::PreciseTimer);
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
    connection.fetch_add(1, std::memory_order_release);
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
        openError = serial_link::openFailureReason(port->error(), port->errorString());
        releasePort(Release::Now);
        return false;
    }
    openError.clear();
    // Connected only now: open() reports its own failures synchronously,
    // while `mutex` is held.
    errorConnection =
        connect(port, &QSerialPort::errorOccurred, port,
                [this, port](QSerialPort::SerialPortError error) { handlePortError(port, error); });
    return true;
}

QString SerialPort::lastOpenError()
{
    QMutexLocker lock(&mutex);
    return openError;
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
    connection.fetch_add(1, std::memory_order_release);
    disconnect(readConnection);
    disconnect(errorConnection);
    if (port->isOpen())
        port->close();
    if (when == Release::Now)
        delete port;
    else
        port->deleteLater();
}

// On the port's thread. The bytes are stamped here, where they arrive, so
// that a busy worker does not make the line look quiet.
void SerialPort::takePortBytes(QSerialPort *port)
{
    const QByteArray bytes = port->readAll();
    if (bytes.isEmpty())
        return;
    const qint64 now = clockMs();
    // Only the open port's handler runs, so this is the bytes' connection.
    const quint64 from = connectionNumber();
    {
        std::lock_guard<std::mutex> lock(inboxLock);
        inboxConnection = from;
        if (inbox.isEmpty())
            inboxFirstAt = now;
        inboxLastAt = now;
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

// Moves what the port's thread has received into the receive buffer; false
// when nothing was waiting.
bool SerialPort::collectInbox()
{
    QByteArray bytes;
    qint64 firstAt, lastAt;
    quint64 from;
    {
        std::lock_guard<std::mutex> lock(inboxLock);
        bytes.swap(inbox);
        firstAt = inboxFirstAt;
        lastAt = inboxLastAt;
        from = inboxConnection;
    }
    if (bytes.isEmpty())
        return false;
    // Bytes left over from an earlier connection stay in front of these.
    recvBufferConnection = from;
    recvBuffer.append(bytes);
    bufferedBytes.store(recvBuffer.size(), std::memory_order_relaxed);
    schedule.chunkArrived(firstAt, lastAt);
    return true;
}

void SerialPort::readFromSerialPort()
{
    if (collectInbox())
        serviceLine();
}

void SerialPort::recvTimeout()
{
    // Bytes may have arrived while this thread was busy elsewhere.
    collectInbox();
    serviceLine();
}

// Runs the passes that are due, then sets the timer for the next one.
void SerialPort::serviceLine()
{
    using serial_link::Pass;
    for (;;) {
        const serial_link::PassDecision due = schedule.decide(clockMs());
        if (due.pass == Pass::None) {
            if (due.waitMs == serial_link::kNoTime)
                recvTimer->stop();
            else
                recvTimer->start(int(due.waitMs));
            return;
        }
        {
            QMutexLocker lock(&mutex);
            decodeBuffered(due.pass);
        }
        schedule.passRan(due.pass);
    }
}

// `mutex` is held for the whole pass, emissions included.
void SerialPort::decodeBuffered(serial_link::Pass pass)
{
    // The connection that sent the newest bytes has ended since (their pass
    // was still due at the close): its status would show as live.
    const bool ended = recvBufferConnection != connectionNumber();
    const QVector<Frame> frames = pass == serial_link::Pass::Busy
                                      ? takeFramesKeepingTail(recvBuffer)
                                      : takeFrames(recvBuffer, TailPolicy::DropIncomplete);
    bufferedBytes.store(recvBuffer.size(), std::memory_order_relaxed);
    for (const Frame &f : frames) {
        switch (static_cast<FrameType>(f.type)) {
        case FrameType::Status:
            if (ended)
                break;
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
