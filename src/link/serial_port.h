#pragma once

#include "protocol/deframer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <mutex>

class QThread;
class QTimer;

namespace serial_link {
// Decoding waits until the line has been quiet this long, so that a frame
// arriving in several chunks is complete first.
constexpr int kQuietTimeMs = 75;
// A line that is never quiet is decoded at once when this much is buffered.
constexpr int kMaxBufferedBytes = 256 * 1024;
} // namespace serial_link

// The one object that touches the serial line to the controller.
//
// Threads: the object and its receive timer live on the worker thread, where
// received bytes are collected and decoded. Each QSerialPort lives on the
// thread that opened it (the user-interface thread) and is only ever touched
// there: its readyRead handler moves the bytes into a small inbox and queues
// readFromSerialPort() on the worker. openPort, closePort, isPortOpen and
// sendData run on the caller's thread under `mutex`; nothing waits for the
// other thread while holding it.
class SerialPort : public QObject {
    Q_OBJECT
public:
    static SerialPort *getInstance();

    SerialPort();
    ~SerialPort() override;

    bool openPort(const QString &portName);
    void closePort();
    bool isPortOpen();
    void sendData(const QByteArray &data);

    // Moves this object and its timer to the worker thread; call before the
    // worker starts, from the thread the object lives on.
    void moveToWorker(QThread *worker);
    // Call on the worker as its event loop ends: a timer can only be stopped
    // on its own thread.
    void leaveWorker();

    // Bytes received and not yet consumed by the de-framer (for diagnostics).
    int bufferedByteCount() const { return bufferedBytes.load(std::memory_order_relaxed); }

signals:
    void dataReceived(QJsonObject rxObj);
    void msgReceived(QString msg);
    void calibTableReceived(QByteArray table);

private slots:
    void readFromSerialPort();
    void recvTimeout();

signals:
    // The open port failed for good (the adapter or the peer went away); the
    // link has closed it.
    void portLost();

private:
    enum class Release { Now, Later };

    void takePortBytes(QSerialPort *port);
    void handlePortError(QSerialPort *port, QSerialPort::SerialPortError error);
    void releasePort(Release when);
    void decodeBuffered(TailPolicy policy);

    QTimer *recvTimer;
    QSerialPort *qSerialPort = nullptr;
    QByteArray recvBuffer;
    QMutex mutex;

    // Hand-off from the port's thread to the worker; the lock is held only
    // to append or swap.
    std::mutex inboxLock;
    QByteArray inbox;

    QMetaObject::Connection readConnection;
    QMetaObject::Connection errorConnection;
    std::atomic<int> bufferedBytes{0};
};
