#include "communication.h"

#include "common/single_instance.h"
#include "port_list.h"
#include "protocol/data_process.h"
#include "serial_port.h"
#include "thread_order.h"

#include <QDebug>

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
    if (from == serialPort->connectionNumber())
        emit dataReceived(rxObj);
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

bool Communication::open(QString portName)
{
    return serialPort->openPort(portName);
}

bool Communication::isOpen()
{
    return serialPort->isPortOpen();
}

QString Communication::lastOpenError()
{
    return serialPort->lastOpenError();
}

void Communication::close()
{
    serialPort->closePort();
}

QVariantList Communication::getSerialList()
{
    return availablePortList();
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
