#include "communication.h"

#include "common/single_instance.h"
#include "port_list.h"
#include "protocol/data_process.h"
#include "serial_port.h"
#include "common/thread_order.h"

#include <QDebug>

#include <algorithm>

namespace {

quint8 low8(int value)
{
    return static_cast<quint8>(value & 0xFF);
}
quint16 low16(int value)
{
    return static_cast<quint16>(value & 0xFFFF);
}

} // namespace

Communication *Communication::getInstance()
{
    return SingleInstance<Communication>::get();
}

Communication::Communication()
    : QObject(nullptr)
{
    // Created here, before the worker starts: their owners then outlive ours,
    // so the worker is stopped before the port object and its timer go, and
    // every operation is safe from the moment getInstance returns.
    DataProcess::getInstance();
    SerialPort *port = SerialPort::getInstance();
    port->moveToWorker(&childThread);
    serialPort = port;
    childThread.start();

    clock.start();
    silenceTimer.setSingleShot(true);
    silenceTimer.setTimerType(Qt::PreciseTimer);
    silenceTimer.setInterval(int(link_supervision::kSilenceMs));
    connect(&silenceTimer, &QTimer::timeout, this, &Communication::noteSilenceTime);
    watchTimer.setSingleShot(true);
    connect(&watchTimer, &QTimer::timeout, this, &Communication::watchLook);
    // Connected before anyone else can listen, so the state is settled when
    // others hear of the loss.
    connect(this, &Communication::portLost, this, &Communication::handlePortLost);
}

Communication::~Communication()
{
    childThread.quit();
    childThread.wait();
    threadEndAwaited(&childThread);
}

void Communication::ChildThread::run()
{
    qDebug() << "Communication Thread";
    // Blocks on the creation lock until the facade has been published.
    Communication *facade = Communication::getInstance();
    SerialPort *port = SerialPort::getInstance();
    // Already attached before the thread started; writing it again here would
    // race with the operations on the user-interface thread.
    if (facade->serialPort != port)
        facade->serialPort = port;
    // Each record is stamped on this thread, while the decoding pass holds
    // the port, with the connection it came from; connected first, so the
    // stamp is in before the record is queued.
    connect(
        port, &SerialPort::dataReceived, port,
        [facade, port] {
            std::lock_guard<std::mutex> hold(facade->stampLock);
            facade->recordStamps.push_back(port->connectionNumber());
        },
        Qt::DirectConnection);
    connect(port, &SerialPort::dataReceived, facade, &Communication::recvSerialPortJsonData);
    connect(port, &SerialPort::msgReceived, facade, &Communication::recvSerialPortMsg);
    connect(port, &SerialPort::calibTableReceived, facade,
            &Communication::recvSerialPortCalibTable);
    connect(port, &SerialPort::portLost, facade, &Communication::portLost);
    exec();
    port->leaveWorker();
    threadEndReached(this);
}

// Queued signals arrive in the order they were sent, so the oldest stamp is
// this record's. A record decoded before a close (or before the next open)
// would show an old connection's values as live.
void Communication::recvSerialPortJsonData(QJsonObject rxObj)
{
    quint64 from;
    {
        std::lock_guard<std::mutex> hold(stampLock);
        if (recordStamps.empty())
            return;
        from = recordStamps.front();
        recordStamps.pop_front();
    }
    if (from != serialPort->connectionNumber())
        return;
    emit dataReceived(rxObj);
    const bool wasOnline = online.online();
    const bool wasHeard = online.heardOnConnection();
    const link_supervision::RecordOutcome outcome = online.noteRecord(now());
    silenceTimer.start();
    setOnline(wasOnline, wasHeard);
    if (outcome.recovered)
        emit deviceRecovered(openPort);
}

void Communication::noteSilenceTime()
{
    const bool wasOnline = online.online();
    const bool wasHeard = online.heardOnConnection();
    const qint64 at = now();
    const link_supervision::SilenceOutcome outcome =
        online.noteTime(at, serialPort->isPortOpen() && connected());
    // A timer may fire a little before its time.
    if (online.online())
        silenceTimer.start(int(std::max<qint64>(1, online.deadline() - at)));
    setOnline(wasOnline, wasHeard);
    if (outcome.silent)
        emit deviceSilent(openPort);
}

void Communication::setOnline(bool wasOnline, bool wasHeard)
{
    if (online.heardOnConnection() != wasHeard)
        emit recordSinceOpenChanged();
    if (online.online() != wasOnline)
        emit deviceOnlineChanged();
}

void Communication::recvSerialPortMsg(QString msg)
{
    emit msgReceived(msg);
}

void Communication::recvSerialPortCalibTable(QByteArray table)
{
    QVariantList list;
    list.reserve(table.size());
    for (const char byte : qAsConst(table))
        list.append(int(static_cast<quint8>(byte)));
    emit calibTableReceived(list);
}

// The port writes the frame, or drops it when no port is open.
void Communication::send(const QByteArray &frame)
{
    serialPort->sendData(frame);
}

bool Communication::openLine(const QString &portName)
{
    const bool opened = serialPort->openPort(portName);
    const QString error = serialPort->lastOpenError();
    if (error != shownOpenError) {
        shownOpenError = error;
        emit lastOpenErrorChanged();
    }
    return opened;
}

// Every open and close starts a new connection, even on the same port.
void Communication::setPort(const QString &name)
{
    const bool wasHeard = online.heardOnConnection();
    online.noteNewConnection();
    const bool changed = name != openPort;
    openPort = name;
    if (wasHeard)
        emit recordSinceOpenChanged();
    if (changed)
        emit portChanged();
}

bool Communication::open(QString portName)
{
    stopWatch();
    const bool opened = openLine(portName);
    setPort(opened ? portName : QString());
    if (!opened)
        refreshPortList();
    return opened;
}

bool Communication::isOpen()
{
    return serialPort->isPortOpen();
}

QString Communication::lastOpenError() const
{
    return serialPort->lastOpenError();
}

void Communication::close()
{
    stopWatch();
    serialPort->closePort();
    setPort(QString());
    refreshPortList();
}

QVariantList Communication::getSerialList()
{
    return availablePortList();
}

void Communication::refreshPortList()
{
    ports = availablePortList();
    // Told even when the list is the same: a refresh selects its first entry.
    emit portListChanged();
}

void Communication::handlePortLost()
{
    // A loss reported after another port was opened concerns an earlier
    // port that is already gone.
    if (serialPort->isPortOpen())
        return;
    const QString lost = openPort;
    setPort(QString());
    refreshPortList();
    if (lost.isEmpty())
        return;
    const bool news = watch.noteLost(lost);
    emit watchChanged();
    if (news)
        emit connectionLost(lost);
    watchTimer.start(int(watch.period()));
}

void Communication::reopenHandedOver(const QString &portName)
{
    stopWatch();
    if (portName.isEmpty())
        return;
    watch.startHandover(portName);
    emit watchChanged();
    watchTimer.start(int(watch.period()));
}

void Communication::watchLook()
{
    using link_supervision::WatchStep;
    const QString port = watch.port();
    WatchStep step = watch.look(serialPort->isPortOpen() && connected());
    if (step == WatchStep::TryOpen) {
        const bool opened = openLine(port);
        step = watch.noteOpened(opened, now());
        if (opened) {
            setPort(port);
            refreshPortList();
        }
        emit watchChanged();
    }
    switch (step) {
    case WatchStep::Wait:
    case WatchStep::TryOpen:
        watchTimer.start(int(watch.period()));
        return;
    case WatchStep::Confirm:
        endWatch();
        emit reconnected(port);
        return;
    case WatchStep::GiveUp:
        endWatch();
        setPort(QString());
        refreshPortList();
        emit reopenFailed(port);
        return;
    case WatchStep::End:
        endWatch();
        return;
    }
}

void Communication::endWatch()
{
    watchTimer.stop();
    const bool was = watch.active() || watch.pending();
    watch.stop();
    if (was)
        emit watchChanged();
}

void Communication::stopWatch()
{
    endWatch();
}

void Communication::setAdvancedParam(int qcwDuty, int qcwFreq, bool qcwEnable, int redLevel,
                                     int pdThes, int humiThes, int pumpThes, int inTempLow,
                                     int inTempHigh, int outTempLow, int outTempHigh)
{
    send(DataProcess::getInstance()->setAdvancedParam(
        low8(qcwDuty), low16(qcwFreq), qcwEnable, low8(redLevel), low16(pdThes), low8(humiThes),
        low16(pumpThes), low8(inTempLow), low8(inTempHigh), low8(outTempLow), low8(outTempHigh)));
}

void Communication::setIntCtrlParam(int power, int duty, int freq, int openMs)
{
    send(DataProcess::getInstance()->setIntCtrlParam(low8(power), low8(duty), low16(freq),
                                                     low16(openMs)));
}

void Communication::setLaserState(bool state)
{
    send(DataProcess::getInstance()->setLaserState(state));
}

void Communication::setCtrlMod(bool intCtrl)
{
    send(DataProcess::getInstance()->setCtrlMod(intCtrl));
}

void Communication::setCalib(QVariantList list)
{
    send(DataProcess::getInstance()->setCalib(list));
}

void Communication::queryVersion()
{
    send(DataProcess::getInstance()->queryVersion());
}

void Communication::queryCalibTable()
{
    send(DataProcess::getInstance()->queryCalibTable());
}

void Communication::queryUseTime()
{
    send(DataProcess::getInstance()->queryUseTime());
}

void Communication::resetParam()
{
    send(DataProcess::getInstance()->resetParam());
}
