#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVariantList>

#include <deque>
#include <mutex>

class SerialPort;

// The user interface's only way to the controller. Operations run on the
// calling (user-interface) thread; results arrive from the worker thread as
// queued signals and are re-emitted here.
class Communication : public QObject {
    Q_OBJECT
public:
    static Communication *getInstance();

    Communication();
    ~Communication() override;

signals:
    void dataReceived(QJsonObject rxObj);
    void msgReceived(QString msg);
    void calibTableReceived(QVariantList table);

private slots:
    void recvSerialPortJsonData(QJsonObject rxObj);
    void recvSerialPortMsg(QString msg);
    void recvSerialPortCalibTable(QByteArray table);

public:
    Q_INVOKABLE bool open(QString portName);
    Q_INVOKABLE bool isOpen();
    Q_INVOKABLE void close();
    Q_INVOKABLE QVariantList getSerialList();
    Q_INVOKABLE void setAdvancedParam(int qcwDuty, int qcwFreq, bool qcwEnable, int redLevel,
                                      int pdThes, int humiThes, int pumpThes, int inTempLow,
                                      int inTempHigh, int outTempLow, int outTempHigh);
    Q_INVOKABLE void setIntCtrlParam(int power, int duty, int freq, int openMs);
    Q_INVOKABLE void setLaserState(bool state);
    Q_INVOKABLE void setCtrlMod(bool intCtrl);
    Q_INVOKABLE void setCalib(QVariantList list);
    Q_INVOKABLE void queryVersion();
    Q_INVOKABLE void queryCalibTable();
    Q_INVOKABLE void queryUseTime();
    Q_INVOKABLE void resetParam();
    // Why the last open failed, in the system's words (for example "No such
    // file or directory"); empty after a successful open.
    Q_INVOKABLE QString lastOpenError();

signals:
    // The open port went away (pulled cable, vanished peer); it is closed.
    void portLost();

private:
    class ChildThread : public QThread {
    protected:
        void run() override;
    };

    void send(const QByteArray &frame);

    SerialPort *serialPort = nullptr;
    ChildThread childThread;
    // The connection number of each record on its way to this thread.
    std::mutex stampLock;
    std::deque<quint64> recordStamps;
};
