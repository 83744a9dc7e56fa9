#pragma once

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
// On a line that is never quiet that long, a byte still waits at most this
// long for its pass (a frame that is still arriving waits for the next one).
constexpr int kMaxDecodeDelayMs = 250;

// "No such moment" for the times below.
constexpr qint64 kNoTime = -1;

enum class Pass {
    None,  // nothing to decode now
    Quiet, // the line is quiet: every frame, an incomplete one counts as corrupt
    Busy,  // the line is still busy: every complete frame, the rest is kept
};

struct PassDecision {
    Pass pass = Pass::None;
    // With Pass::None: milliseconds until a pass may be due, or kNoTime when
    // no byte waits for one.
    qint64 waitMs = kNoTime;
};

// When received bytes are de-framed, told the times (milliseconds on one
// monotonic clock) instead of reading a clock. A quiet pass is due
// kQuietTimeMs after the last chunk; a busy pass kMaxDecodeDelayMs after the
// oldest chunk that no pass has looked at yet, whichever comes first.
class PassSchedule {
public:
    // A chunk of bytes arrived between firstAt and lastAt (one chunk: equal).
    void chunkArrived(qint64 firstAt, qint64 lastAt);
    PassDecision decide(qint64 now) const;
    // The pass that decide() asked for has run.
    void passRan(Pass pass);

private:
    // kNoTime: no chunk since the last quiet pass.
    qint64 lastChunkAt = kNoTime;
    // kNoTime: every chunk has been looked at by a pass.
    qint64 firstUnseenAt = kNoTime;
};

// The text the operator is shown for a port that did not open: the system's
// reason as the port reports it, or a description of the error code when it
// reports none.
QString openFailureReason(QSerialPort::SerialPortError error, const QString &errorString);
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

    // Why the last openPort failed, as the system put it; empty when the
    // last openPort succeeded or none has been made.
    QString lastOpenError();

    // Changes with every open and every close. Read during a dataReceived
    // emission, it names the connection the record came from: a record
    // handed on after that connection ended is stale.
    quint64 connectionNumber() const { return connection.load(std::memory_order_acquire); }

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
    bool collectInbox();
    void serviceLine();
    void decodeBuffered(serial_link::Pass pass);

    QTimer *recvTimer;
    QSerialPort *qSerialPort = nullptr;
    QByteArray recvBuffer;
    quint64 recvBufferConnection = 0; // worker only: who sent the newest bytes
    QMutex mutex;
    QString openError;                  // under `mutex`
    std::atomic<quint64> connection{0}; // changed under `mutex`

    serial_link::PassSchedule schedule; // worker only

    // Hand-off from the port's thread to the worker; the lock is held only
    // to append or swap.
    std::mutex inboxLock;
    QByteArray inbox;
    qint64 inboxFirstAt = serial_link::kNoTime;
    qint64 inboxLastAt = serial_link::kNoTime;
    quint64 inboxConnection = 0;

    QMetaObject::Connection readConnection;
    QMetaObject::Connection errorConnection;
    std::atomic<int> bufferedBytes{0};
};
