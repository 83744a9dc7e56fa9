#include "feed_event_queue.h"

#include <algorithm>

namespace feed_events {

void EventQueue::dropOld(qint64 now)
{
    while (!events.empty() && now - events.front().ts > kMaxAgeMs) {
        events.pop_front();
        ++dropped;
    }
}

void EventQueue::push(Event event, qint64 now)
{
    events.push_back(std::move(event));
    while (int(events.size()) > kMaxEvents) {
        events.pop_front();
        ++dropped;
    }
    dropOld(now);
}

Head EventQueue::head(qint64 now)
{
    dropOld(now);
    Head h;
    if (dropped > 0) {
        h.kind = Head::Kind::Dropped;
        h.dropped = dropped;
    } else if (!events.empty()) {
        h.kind = Head::Kind::Event;
        h.event = &events.front();
        h.seq = h.event->seq;
    }
    return h;
}

void EventQueue::delivered(const Head &head)
{
    switch (head.kind) {
    case Head::Kind::Dropped:
        // Drops since the notice was handed out wait for a notice of their own.
        dropped -= std::min(dropped, head.dropped);
        break;
    case Head::Kind::Event:
        // The oldest may have been dropped meanwhile; then nothing to take.
        if (!events.empty() && events.front().seq == head.seq)
            events.pop_front();
        break;
    case Head::Kind::Nothing:
        break;
    }
}

} // namespace feed_events
