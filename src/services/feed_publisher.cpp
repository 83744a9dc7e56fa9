#include "feed_publisher.h"

#include "feed_payloads.h"

#include <QDateTime>

namespace {

QByteArray topic(const feed_settings::FeedSettings &settings, const char *name)
{
    return (settings.base() + QLatin1Char('/') + QLatin1String(name)).toUtf8();
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

FeedPublisher::FeedPublisher(const feed_settings::FeedSettings &settings, qint64 session,
                             QObject *parent)
    : QObject(parent)
    , settings(settings)
    , session(session)
    , stateTopic(topic(settings, "state"))
    , infoTopic(topic(settings, "info"))
    , statusTopic(topic(settings, "status"))
    , alarmTopic(topic(settings, "alarm"))
    , eventsTopic(topic(settings, "events"))
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(1000);
    connect(&retryTimer, &QTimer::timeout, this, &FeedPublisher::pump);
    pollTimer.setInterval(kPollMs);
    connect(&pollTimer, &QTimer::timeout, this, &FeedPublisher::pollRecords);
}

FeedPublisher::~FeedPublisher() = default;

void FeedPublisher::start()
{
    if (client)
        return;
    client = std::make_unique<FeedClient>(
        settings, FeedClient::Message{stateTopic, feed_payloads::offline(session), 1, true});
    connect(client.get(), &FeedClient::connected, this, &FeedPublisher::onConnected);
    connect(client.get(), &FeedClient::interrupted, this, &FeedPublisher::interrupted);
    connect(client.get(), &FeedClient::delivered, this, &FeedPublisher::onDelivered);
    connect(client.get(), &FeedClient::failed, this, &FeedPublisher::onFailed);
    client->start();
}

void FeedPublisher::publishRetained(const QByteArray &topic, const QByteArray &payload, int qos)
{
    if (client && !payload.isEmpty())
        client->publish({topic, payload, qos, true});
}

void FeedPublisher::onConnected()
{
    publishRetained(stateTopic, state, 1);
    publishRetained(infoTopic, info, 1);
    publishRetained(alarmTopic, alarm, 1);
    publishRetained(statusTopic, status, 0);
    emit connected();
    pump();
}

void FeedPublisher::setState(const QByteArray &payload)
{
    state = payload;
    publishRetained(stateTopic, state, 1);
}

void FeedPublisher::setInfo(const QByteArray &payload)
{
    info = payload;
    publishRetained(infoTopic, info, 1);
}

void FeedPublisher::setAlarm(const QByteArray &payload)
{
    alarm = payload;
    publishRetained(alarmTopic, alarm, 1);
}

bool FeedPublisher::queueRecord(const QJsonObject &record, qint64 ts)
{
    QMutexLocker hold(&recordsMutex);
    // Only a feed thread stuck for minutes could fill it.
    if (queuedRecords.size() >= kMaxQueuedRecords)
        queuedRecords.erase(queuedRecords.begin());
    queuedRecords.emplace_back(record, ts);
    return !std::exchange(polling, true);
}

void FeedPublisher::wake()
{
    idlePolls = 0;
    if (!pollTimer.isActive())
        pollTimer.start();
    pollRecords();
}

void FeedPublisher::pollRecords()
{
    std::vector<std::pair<QJsonObject, qint64>> records;
    {
        QMutexLocker hold(&recordsMutex);
        records.swap(queuedRecords);
        if (records.empty() && ++idlePolls >= 1000 / kPollMs) {
            polling = false;
            pollTimer.stop();
            return;
        }
    }
    if (!records.empty())
        idlePolls = 0;
    for (const auto &[record, ts] : records) {
        status = feed_payloads::status(++statusSeq, ts, record);
        publishRetained(statusTopic, status, 0);
    }
    // The list goes back with its memory: the next append allocates nothing.
    records.clear();
    QMutexLocker hold(&recordsMutex);
    if (queuedRecords.empty())
        queuedRecords.swap(records);
}

void FeedPublisher::addEvent(const feed_events::Event &event)
{
    queue.push(event, nowMs());
    tellDropped();
    pump();
}

void FeedPublisher::addEarlier(std::deque<feed_events::Event> earlier)
{
    if (eventsReleased)
        return;
    eventsReleased = true;
    queue.pushEarlier(std::move(earlier), nowMs());
    tellDropped();
    pump();
}

void FeedPublisher::tellDropped()
{
    feed_events::EventKey key;
    if (queue.takeDropped(&key))
        emit eventsDone(key.run, key.seq);
}

void FeedPublisher::pump()
{
    if (out || !eventsReleased || !isConnected())
        return;
    const qint64 now = nowMs();
    const feed_events::Head head = queue.head(now);
    tellDropped();
    QByteArray payload;
    switch (head.kind) {
    case feed_events::Head::Kind::Nothing:
        return;
    case feed_events::Head::Kind::Dropped:
        payload = feed_payloads::droppedEvent(head.dropped, now, session);
        break;
    case feed_events::Head::Kind::Event:
        payload = head.event->payload;
        break;
    }
    const quint64 tag = ++nextTag;
    if (!client->publish({eventsTopic, payload, 1, false}, tag)) {
        retryTimer.start();
        return;
    }
    out = true;
    outHead = head;
    outHead.event = nullptr;
    outTag = tag;
}

void FeedPublisher::onDelivered(quint64 tag)
{
    if (!out || tag != outTag)
        return;
    out = false;
    queue.delivered(outHead);
    if (outHead.kind == feed_events::Head::Kind::Event)
        emit eventsDone(outHead.run, outHead.seq);
    pump();
}

void FeedPublisher::onFailed(quint64 tag)
{
    if (!out || tag != outTag)
        return;
    out = false;
    // Sent again once connected (now, or after the reconnection).
    retryTimer.start();
}

void FeedPublisher::finish(const QByteArray &offline, int timeoutMs)
{
    retryTimer.stop();
    pollTimer.stop();
    pollRecords();
    if (client)
        client->finish({stateTopic, offline, 1, true}, timeoutMs);
}
