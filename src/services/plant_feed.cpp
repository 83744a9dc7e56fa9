#include "plant_feed.h"

#include "feed_publisher.h"
#include "session_journal.h"

#include <common/single_instance.h>

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

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
    QMetaObject::invokeMethod(
        publisher,
        [p = publisher, payload = feed_payloads::state(link, nowMs())] { p->setState(payload); });
}

void PlantFeed::publishInfo()
{
    QMetaObject::invokeMethod(
        publisher,
        [p = publisher, payload = feed_payloads::info(info, nowMs())] { p->setInfo(payload); });
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
        const feed_alarm_texts::Texts texts = feed_alarm_texts::changeText(
            word, alarmRows, [this](const QString &t) { return english(t); });
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
//
// Every event is kept in the session journal until the broker has confirmed
// it, so that a restart or a crash does not lose it: the next run sends the
// kept ones first. The journal opens with the window's first journalled
// object, after the feed has started; events made before are kept once it is
// open. Without a journal (none within 5 s, or one that failed) the events
// wait in memory only.

void PlantFeed::keepEvent(const feed_events::Event &event)
{
    if (journalSession != 0)
        SessionJournal::getInstance()->appendFeedEvent(
            journalSession, {event.run, event.seq, event.ts, event.payload});
    else if (!earlierReleased)
        notYetKept.push_back(event);
}

void PlantFeed::forgetEvents(qint64 eventRun, quint64 seq)
{
    if (journalSession != 0) {
        SessionJournal::getInstance()->feedEventsDone(journalSession, eventRun, seq);
        return;
    }
    notYetKept.erase(std::remove_if(notYetKept.begin(), notYetKept.end(),
                                    [&](const feed_events::Event &e) {
                                        return e.run < eventRun ||
                                               (e.run == eventRun && e.seq <= seq);
                                    }),
                     notYetKept.end());
}

void PlantFeed::loadEarlierEvents()
{
    SessionJournal *journal = SessionJournal::getInstance();
    connect(journal, &SessionJournal::activeChanged, this, &PlantFeed::loadKeptEvents);
    connect(journal, &SessionJournal::problemChanged, this, [this, journal] {
        if (!journal->problem().isEmpty() && journalSession == 0)
            releaseEvents({});
    });
    QTimer::singleShot(kJournalWaitMs, this, [this] {
        if (journalSession == 0)
            releaseEvents({});
    });
    loadKeptEvents();
}

void PlantFeed::loadKeptEvents()
{
    SessionJournal *journal = SessionJournal::getInstance();
    if (!publisher || earlierReleased || journalSession != 0 || !journal->isActive())
        return;
    const quint64 session = journal->session();
    const bool taken =
        journal->loadFeedEvents(session, this, [this](const std::vector<FeedEventRow> &rows) {
            std::deque<feed_events::Event> earlier;
            for (const FeedEventRow &row : rows) {
                if (row.run != run)
                    earlier.push_back({row.seq, row.ts, row.payload, row.run});
            }
            releaseEvents(std::move(earlier));
        });
    if (!taken)
        return;
    journalSession = session;
    for (const feed_events::Event &event : std::exchange(notYetKept, {}))
        keepEvent(event);
}

void PlantFeed::releaseEvents(std::deque<feed_events::Event> earlier)
{
    if (earlierReleased || !publisher)
        return;
    earlierReleased = true;
    notYetKept.clear();
    QMetaObject::invokeMethod(publisher, [p = publisher, earlier = std::move(earlier)]() mutable {
        p->addEarlier(std::move(earlier));
    });
}
