#pragma once

#include "feed_client.h"
#include "feed_event_queue.h"
#include "feed_settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

// The feed's work on its own thread: the broker connection, the retained
// topics, the status records and the waiting events. Every method runs on the
// object's thread (callers queue them), so nothing here can hold up the
// window; queueRecord alone is called from the window's thread.
//
// Status records are not handed over one call each: waking a sleeping thread
// costs the caller tens of microseconds on a small machine. The window's
// thread only appends a record to a short list; while records flow, the feed
// thread collects them every kPollMs (a record waits at most that long), and
// after a second without records it stops looking until the next one wakes
// it.
//
// The retained topics (state, info, alarm, the latest status) are published
// again at every connection: a broker restarted without persistence has
// forgotten them. Events go out one at a time, each only after the one before
// was confirmed, so their order holds over any reconnection; an event the
// broker did not confirm is sent again (a consumer may see a seq twice, never
// miss one unannounced). Events wait until addEarlier() has put those of an
// earlier run first.
class FeedPublisher : public QObject {
    Q_OBJECT
public:
    // session: the run's number in the state topic; the will says it is
    // offline.
    FeedPublisher(const feed_settings::FeedSettings &settings, qint64 session,
                  QObject *parent = nullptr);
    ~FeedPublisher() override;

    void start();
    void setState(const QByteArray &payload);
    void setInfo(const QByteArray &payload);
    void setAlarm(const QByteArray &payload);
    static constexpr int kPollMs = 50;
    // Any thread. ts: UTC milliseconds; the seq of records counts from 1.
    // True when the feed thread has stopped looking: then queue wake().
    bool queueRecord(const QJsonObject &record, qint64 ts);
    void wake();
    void addEvent(const feed_events::Event &event);
    void addEarlier(std::deque<feed_events::Event> earlier);
    // Publishes offline as the state and disconnects, within timeoutMs.
    void finish(const QByteArray &offline, int timeoutMs);

    bool isConnected() const { return client && client->isConnected(); }
    int waitingEvents() const { return queue.size(); }

signals:
    void connected();
    void interrupted(const QString &reason);
    // Every event up to this one (of its run, and all of earlier runs) was
    // delivered or dropped: the copy kept on disk can go.
    void eventsDone(qint64 run, quint64 seq);

private:
    void onConnected();
    void onDelivered(quint64 tag);
    void onFailed(quint64 tag);
    void publishRetained(const QByteArray &topic, const QByteArray &payload, int qos);
    void pump();
    void tellDropped();
    void pollRecords();

    const feed_settings::FeedSettings settings;
    const qint64 session;
    const QByteArray stateTopic, infoTopic, statusTopic, alarmTopic, eventsTopic;
    std::unique_ptr<FeedClient> client;
    QByteArray state, info, alarm, status;
    quint64 statusSeq = 0;

    feed_events::EventQueue queue;
    bool eventsReleased = false;
    // The event (or notice) on its way, and its tag.
    bool out = false;
    feed_events::Head outHead;
    quint64 outTag = 0;
    quint64 nextTag = 0;
    // Children, so that they move with the publisher to its thread.
    QTimer retryTimer{this}; // a send the library refused while connected

    // Records from the window's thread, not yet published.
    static constexpr std::size_t kMaxQueuedRecords = 1000;
    QMutex recordsMutex;
    std::vector<std::pair<QJsonObject, qint64>> queuedRecords;
    bool polling = false; // under recordsMutex
    QTimer pollTimer{this};
    int idlePolls = 0;
};
