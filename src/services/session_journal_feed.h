#pragma once

#include <QByteArray>
#include <QtGlobal>

// One event of the plant feed that the broker has not confirmed yet; the
// session journal keeps it across a restart or a crash until the feed says
// it is done with it (SessionJournal::feedEventsDone).
struct FeedEventRow {
    qint64 run = 0;     // the program run that made the event (its start time, UTC ms)
    quint64 seq = 0;    // the event's number within that run (below 2^63)
    qint64 ts = 0;      // UTC ms
    QByteArray payload; // the JSON as it will be published
};
