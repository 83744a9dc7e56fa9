#pragma once

#include "link_supervision.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QVariantList>

#include <deque>
#include <mutex>

class SerialPort;

// The user interface's only way to the controller. Operations run on the
// calling (user-interface) thread; results arrive from the worker thread as
// queued signals and are re-emitted here.
//
// It also keeps the link's state for the interface to bind to: the port it
// opened, the port list, why the last open failed, whether the device is
// online, and the watch that reopens a lost port (rules in link_supervision).
class Communication : public QObject {
    Q_OBJECT
    // A port is open through this object; false again once it is closed or lost.
    Q_PROPERTY(bool connected READ connected NOTIFY portChanged)
    // The open port's name; empty while none is open.
    Q_PROPERTY(QString port READ port NOTIFY portChanged)
    // The list of the last refresh (see getSerialList).
    Q_PROPERTY(QVariantList portList READ portList NOTIFY portListChanged)
    // Why the last open failed, in the system's words (for example "No such
    // file or directory"); empty after a successful open.
    Q_PROPERTY(QString lastOpenError READ lastOpenError NOTIFY lastOpenErrorChanged)
    // A status record came from the open port within the last 1100 ms.
    Q_PROPERTY(bool deviceOnline READ deviceOnline NOTIFY deviceOnlineChanged)
    // A record has come since the port was opened.
    Q_PROPERTY(bool recordSinceOpen READ recordSinceOpen NOTIFY recordSinceOpenChanged)
    // The port the watch waits for (a lost one, or one a theme restart handed
    // over); empty when not watching.
    Q_PROPERTY(QString watchedPort READ watchedPort NOTIFY watchChanged)
    // The watch has reopened its port and confirms it at the next look.
    Q_PROPERTY(bool reconnectPending READ reconnectPending NOTIFY watchChanged)
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
    // Asks the system for the ports again (portList).
    Q_INVOKABLE void refreshPortList();
    // Ends watching for a lost or handed-over port: the operator chose.
    Q_INVOKABLE void stopWatch();
    // Opens a port that an earlier copy of the program may still hold for a
    // moment, trying again for a few seconds.
    Q_INVOKABLE void reopenHandedOver(const QString &portName);

    bool connected() const { return !openPort.isEmpty(); }
    QString port() const { return openPort; }
    QVariantList portList() const { return ports; }
    QString lastOpenError() const;
    bool deviceOnline() const { return online.online(); }
    bool recordSinceOpen() const { return online.heardOnConnection(); }
    QString watchedPort() const { return watch.port(); }
    bool reconnectPending() const { return watch.pending(); }

signals:
    // The open port went away (pulled cable, vanished peer); it is closed.
    void portLost();

    void portChanged();
    void portListChanged();
    void lastOpenErrorChanged();
    void deviceOnlineChanged();
    void recordSinceOpenChanged();
    void watchChanged();
    // Events for the message list, each told once.
    void connectionLost(const QString &port);
    void reconnected(const QString &port);
    void reopenFailed(const QString &port);
    void deviceSilent(const QString &port);
    void deviceRecovered(const QString &port);

private:
    class ChildThread : public QThread {
    protected:
        void run() override;
    };

    void send(const QByteArray &frame);
    // The port object's open, with the change of the error text told.
    bool openLine(const QString &portName);
    void setPort(const QString &name);
    void setOnline(bool wasOnline, bool wasHeard);
    void handlePortLost();
    void noteSilenceTime();
    void watchLook();
    void endWatch();
    qint64 now() const { return clock.elapsed(); }

    QString openPort;
    QVariantList ports;
    // The error text last told, to tell only its changes.
    QString shownOpenError;
    link_supervision::OnlineSupervision online;
    link_supervision::ReconnectWatch watch;
    QElapsedTimer clock;
    QTimer silenceTimer;
    QTimer watchTimer;

    SerialPort *serialPort = nullptr;
    ChildThread childThread;
    // The connection number of each record on its way to this thread.
    std::mutex stampLock;
    std::deque<quint64> recordStamps;
};
