#include "feed_event_queue.h"

#include <algorithm>
#include <iterator>

namespace feed_events {

void EventQueue::dropFront()
{
    droppedKey = {events.front().run, events.front().seq};
    droppedKeyNew = true;
    events.pop_front();
    ++dropped;
}

void EventQueue::dropOld(qint64 now)
{
    while (!events.empty() && now - events.front().ts > kMaxAgeMs)
        dropFront();
}

void EventQueue::push(Event event, qint64 now)
{
    events.push_back(std::move(event));
    while (int(events.size()) > kMaxEvents)
        dropFront();
    dropOld(now);
}

void EventQueue::pushEarlier(std::deque<Event> earlier, qint64 now)
{
    earlier.insert(earlier.end(), std::make_move_iterator(events.begin()),
                   std::make_move_iterator(events.end()));
    events.swap(earlier);
    while (int(events.size()) > kMaxEvents)
        dropFront();
    dropOld(now);
}

bool EventQueue::takeDropped(EventKey *key)
{
    if (!droppedKeyNew)
        return false;
    droppedKeyNew = false;
    *key = droppedKey;
    return true;
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
        h.run = h.event->run;
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
        if (!events.empty() && events.front().seq == head.seq && events.front().run == head.run)
            events.pop_front();
        break;
    case Head::Kind::Nothing:
        break;
    }
}

} // namespace feed_events
