#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <deque>

// The plant feed's events waiting for the broker, as rules without a
// network: kept in order with their own seq and time while the broker cannot
// be reached, at most kMaxEvents and none older than kMaxAgeMs; beyond that
// the oldest are dropped, and the next thing published is one notice of how
// many (then the events kept, oldest first). An event leaves only when the
// broker has confirmed it, so a lost connection sends it again (a consumer
// sees a repeated seq, never a missing one it was not told of).
namespace feed_events {

inline constexpr int kMaxEvents = 10000;
inline constexpr qint64 kMaxAgeMs = 24LL * 60 * 60 * 1000;

struct Event {
    quint64 seq = 0;
    qint64 ts = 0; // UTC milliseconds
    QByteArray payload;
    // The program run that made it (its start time): a seq is unique only
    // within its run, and the events of an earlier run kept on disk go first.
    qint64 run = 0;
};

// Which event: its run and its seq.
struct EventKey {
    qint64 run = 0;
    quint64 seq = 0;
};

struct Head {
    enum class Kind { Nothing, Dropped, Event };
    Kind kind = Kind::Nothing;
    // With Dropped: how many events were dropped since the last notice.
    int dropped = 0;
    // With Event: the oldest event kept (valid until the queue changes) and
    // its seq (to know it again after the queue changed).
    const Event *event = nullptr;
    quint64 seq = 0;
    qint64 run = 0;
};

class EventQueue {
public:
    // now: UTC milliseconds, as the events' ts.
    void push(Event event, qint64 now);
    // Events of earlier runs (oldest first), put before every event queued;
    // the same limits apply, so they are the first to be dropped.
    void pushEarlier(std::deque<Event> earlier, qint64 now);
    // What to publish next; events too old by now are dropped first.
    Head head(qint64 now);
    // The broker confirmed what head() last handed out.
    void delivered(const Head &head);

    int size() const { return int(events.size()); }
    int droppedSinceNotice() const { return dropped; }
    // The newest event dropped since the last call, if any: every event up
    // to it is gone (for the copy kept on disk).
    bool takeDropped(EventKey *key);

private:
    void dropOld(qint64 now);
    void dropFront();

    std::deque<Event> events;
    int dropped = 0;
    bool droppedKeyNew = false;
    EventKey droppedKey;
};

} // namespace feed_events
