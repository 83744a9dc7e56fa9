#pragma once

#include "feed_alarm_texts.h"
#include "feed_event_queue.h"
#include "feed_payloads.h"
#include "feed_settings.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QVariantList>

#include <deque>
#include <optional>
#include <vector>

class FeedPublisher;

// The read-only plant feed, on the window's side: it takes what the window
// takes (the link's state, every status record, the device's messages), makes
// the events with their seq, keeps them in the session journal until the
// broker has them, and hands everything to the FeedPublisher on the feed's own
// thread. Per record here: a few look-ups and an append to the publisher's
// list (no thread woken while records flow); the JSON of a record is made on
// the feed's thread.
//
// Nothing comes back from the network but the feed's own state: the program
// never subscribes, and nothing here can reach the serial port.
//
// QML: import CppSingletonClass 1.0, singleton PlantFeed:
//   enabled          bool: a broker is set and the settings are good
//   settingProblem   string: why the settings were refused ("" when fine or off)
//   brokerConnected  bool
//   broker           string: the broker as configured
//   alarmTable       list of {code, text}: the window's alarm texts (Chinese)
//   noteMessage(raw, text)   a device message and the list's text of it
//   signals connectedToBroker(broker), interrupted(reason): one line each
class PlantFeed : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString settingProblem READ settingProblem NOTIFY enabledChanged)
    Q_PROPERTY(bool brokerConnected READ isBrokerConnected NOTIFY brokerConnectedChanged)
    Q_PROPERTY(QString broker READ broker NOTIFY enabledChanged)
    Q_PROPERTY(QVariantList alarmTable READ alarmTable WRITE setAlarmTable NOTIFY alarmTableChanged)
public:
    static PlantFeed *getInstance();

    PlantFeed();
    ~PlantFeed() override;

    // Once, at start. A problem is kept for the message list; the program
    // then runs without the feed.
    void start(const feed_settings::Outcome &settings, const QString &programVersion);
    // The clean exit: the offline state, then the goodbye; at most timeoutMs.
    void stop(int timeoutMs = 2000);

    bool isEnabled() const { return thread.isRunning(); }
    QString settingProblem() const { return problem; }
    bool isBrokerConnected() const { return brokerUp; }
    QString broker() const { return settings.broker; }
    QVariantList alarmTable() const { return alarmList; }
    void setAlarmTable(const QVariantList &table);
    // The session of the state topic: this run's start time.
    qint64 session() const { return run; }

    // --- What the window takes -----------------------------------------------
    void takeRecord(const QJsonObject &record);
    void setLink(bool connected, const QString &port, bool deviceOnline);
    // event: "connected", "lost", "reconnected" or "closed".
    void noteLinkEvent(const QString &event, const QString &port);
    Q_INVOKABLE void noteMessage(const QString &raw, const QString &text);

signals:
    void enabledChanged();
    void brokerConnectedChanged();
    void alarmTableChanged();
    void connectedToBroker(const QString &broker);
    void interrupted(const QString &reason);

private:
    void onConnected();
    void onInterrupted(const QString &reason);
    void addEvent(const QByteArray &payload, const feed_payloads::EventStamp &stamp);
    void publishState();
    void publishInfo();
    QString english(const QString &chinese) const;

    // The journal's copy of the waiting events.
    static constexpr int kJournalWaitMs = 5000;
    void keepEvent(const feed_events::Event &event);
    void forgetEvents(qint64 eventRun, quint64 seq);
    void loadEarlierEvents();
    void loadKeptEvents();
    void releaseEvents(std::deque<feed_events::Event> earlier);

    feed_settings::FeedSettings settings;
    QString problem;
    QThread thread;
    FeedPublisher *publisher = nullptr; // lives on thread
    bool brokerUp = false;
    QString lastInterruption;
    qint64 run = 0;
    quint64 eventSeq = 0;

    feed_payloads::LinkState link;
    feed_payloads::Info info;
    QVariantList alarmList;
    QVector<feed_alarm_texts::Row> alarmRows;
    QTranslator englishCatalogue;
    std::optional<int> alarmWord;

    quint64 journalSession = 0;                 // the journal's session the events are kept in
    bool earlierReleased = false;               // the publisher has the earlier run's events
    std::vector<feed_events::Event> notYetKept; // made before the journal opened
};
