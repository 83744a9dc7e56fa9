#include "plant_feed.h"

#include "feed_publisher.h"

#include <common/single_instance.h>

#include <QCoreApplication>
#include <QDateTime>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// The version text of the device's reply "DevVer:<version> ...".
QString versionOf(const QString &message)
{
    const int at = message.indexOf(QLatin1String("DevVer"));
    if (at < 0)
        return {};
    QString rest = message.mid(at + 6).trimmed();
    if (rest.startsWith(QLatin1Char(':')))
        rest = rest.mid(1).trimmed();
    return rest;
}

} // namespace

PlantFeed *PlantFeed::getInstance()
{
    return SingleInstance<PlantFeed>::get();
}

PlantFeed::PlantFeed()
{
    thread.setObjectName(QStringLiteral("PlantFeed"));
}

PlantFeed::~PlantFeed()
{
    stop(1000);
}

void PlantFeed::start(const feed_settings::Outcome &outcome, const QString &programVersion)
{
    if (!outcome.enabled || isEnabled() || !problem.isEmpty())
        return;
    if (!outcome.problem.isEmpty()) {
        problem = outcome.problem;
        emit enabledChanged();
        return;
    }
    settings = outcome.settings;
    run = nowMs();
    link.session = run;
    info.programVersion = programVersion;
    // The alarm texts' English, whatever the window's language.
    englishCatalogue.load(QStringLiteral(":/Orrindel_en.qm"));

    publisher = new FeedPublisher(settings, run);
    publisher->moveToThread(&thread);
    connect(publisher, &FeedPublisher::connected, this, &PlantFeed::onConnected);
    connect(publisher, &FeedPublisher::interrupted, this, &PlantFeed::onInterrupted);
    connect(publisher, &FeedPublisher::eventsDone, this, &PlantFeed::forgetEvents);
    thread.start();
    QMetaObject::invokeMethod(publisher, &FeedPublisher::start, Qt::QueuedConnection);
    publishState();
    publishInfo();
    loadEarlierEvents();
    emit enabledChanged();
}

void PlantFeed::stop(int timeoutMs)
{
    if (!publisher)
        return;
    FeedPublisher *p = std::exchange(publisher, nullptr);
    const QByteArray offline = feed_payloads::offline(run, nowMs());
    QMetaObject::invokeMethod(
        p,
        [p, offline, timeoutMs] {
            p->finish(offline, timeoutMs);
            delete p;
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    if (brokerUp) {
        brokerUp = false;
        emit brokerConnectedChanged();
    }
}

void PlantFeed::setAlarmTable(const QVariantList &table)
{
    if (table == alarmList)
        return;
    alarmList = table;
    alarmRows = feed_alarm_texts::fromList(table);
    emit alarmTableChanged();
}

QString PlantFeed::english(const QString &chinese) const
{
    const QString text = englishCatalogue.translate("Public", chinese.toUtf8().constData());
    return text.isEmpty() ? chinese : text;
}

void PlantFeed::publishState()
{
    QMetaObject::invokeMethod(publisher,
                              [p = publisher, payload = feed_payloads::state(link, nowMs())] {
                                  p->setState(payload);
                              });
}

void PlantFeed::publishInfo()
{
    QMetaObject::invokeMethod(publisher,
                              [p = publisher, payload = feed_payloads::info(info, nowMs())] {
                                  p->setInfo(payload);
                              });
}

void PlantFeed::takeRecord(const QJsonObject &record)
{
    if (!publisher)
        return;
    const qint64 ts = nowMs();

    const QString deviceId = record.value(QLatin1String("chipShortId")).toString();
    const QJsonValue maxPower = record.value(QLatin1String("maxPower"));
    const std::optional<int> maxPowerW =
        maxPower.isDouble() ? std::optional<int>(maxPower.toInt()) : std::nullopt;
    if (deviceId != info.deviceId || maxPowerW != info.maxPowerW) {
        info.deviceId = deviceId;
        info.maxPowerW = maxPowerW;
        publishInfo();
    }

    // A record without a word counts as 0, as the message list shows it.
    const int word = record.value(QLatin1String("alarmState")).toInt(0);
    if (feed_alarm_texts::changeDue(alarmWord, word)) {
        const feed_alarm_texts::Texts texts =
            feed_alarm_texts::changeText(word, alarmRows, [this](const QString &t) {
                return english(t);
            });
        const feed_payloads::EventStamp stamp{++eventSeq, ts, run};
        addEvent(feed_payloads::alarmEvent(stamp, alarmWord.value_or(0), word, texts.english,
                                           texts.chinese),
                 stamp);
    }
    if (!alarmWord || *alarmWord != word) {
        const QByteArray payload = feed_payloads::alarm(
            word,
            feed_alarm_texts::alarmsOf(word, alarmRows,
                                       [this](const QString &t) { return english(t); }),
            ts);
        QMetaObject::invokeMethod(publisher, [p = publisher, payload] { p->setAlarm(payload); });
    }
    alarmWord = word;

    if (publisher->queueRecord(record, ts))
        QMetaObject::invokeMethod(publisher, &FeedPublisher::wake, Qt::QueuedConnection);
}

void PlantFeed::setLink(bool connected, const QString &port, bool deviceOnline)
{
    if (link.connected == connected && link.port == port && link.deviceOnline == deviceOnline)
        return;
    link.connected = connected;
    link.port = port;
    link.deviceOnline = deviceOnline;
    if (publisher)
        publishState();
}

void PlantFeed::noteLinkEvent(const QString &event, const QString &port)
{
    if (!publisher)
        return;
    const qint64 ts = nowMs();
    const feed_payloads::EventStamp stamp{++eventSeq, ts, run};
    addEvent(feed_payloads::linkEvent(stamp, event, port), stamp);
}

void PlantFeed::noteMessage(const QString &raw, const QString &text)
{
    if (!publisher)
        return;
    const QString version = versionOf(raw);
    if (!version.isEmpty() && version != info.deviceVersion) {
        info.deviceVersion = version;
        publishInfo();
    }
    const qint64 ts = nowMs();
    const feed_payloads::EventStamp stamp{++eventSeq, ts, run};
    addEvent(feed_payloads::messageEvent(stamp, raw, text), stamp);
}

void PlantFeed::addEvent(const QByteArray &payload, const feed_payloads::EventStamp &stamp)
{
    const feed_events::Event event{stamp.seq, stamp.ts, payload, run};
    keepEvent(event);
    QMetaObject::invokeMethod(publisher, [p = publisher, event] { p->addEvent(event); });
}

void PlantFeed::onConnected()
{
    lastInterruption.clear();
    if (!brokerUp) {
        brokerUp = true;
        emit brokerConnectedChanged();
    }
    emit connectedToBroker(settings.broker);
}

void PlantFeed::onInterrupted(const QString &reason)
{
    if (brokerUp) {
        brokerUp = false;
        emit brokerConnectedChanged();
    }
    if (reason == lastInterruption)
        return;
    lastInterruption = reason;
    emit interrupted(reason);
}

// --- The journal's copy ---------------------------------------------------------

void PlantFeed::keepEvent(const feed_events::Event &) {}

void PlantFeed::forgetEvents(qint64, quint64) {}

void PlantFeed::loadEarlierEvents()
{
    QMetaObject::invokeMethod(publisher,
                              [p = publisher] { p->addEarlier({}); });
}
