#pragma once

#include "session_journal_feed.h"
#include "session_journal_lines.h"

#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <memory>
#include <vector>

class QSemaphore;
class WaveStore;

// One request to the journal's writer thread. The user-interface thread fills
// it in and queues it; everything that touches the disk happens on the
// writer thread, in the order the requests were queued.
struct JournalOp {
    enum Kind : quint8 {
        Sample,         // key, timeMs, values, capacity
        ResetWave,      // key
        TrimWave,       // key, capacity
        LoadWave,       // key, width, capacity, request
        Line,           // key, timeMs, text
        ClearLines,     // key
        LoadLines,      // key, timeMs, text (the resume line), request
        FeedEvent,      // feed
        FeedEventsDone, // feed.run, feed.seq
        LoadFeedEvents, // request
        Barrier         // done: released once everything before is written
    };

    Kind kind = Barrier;
    QString key;
    qint64 timeMs = 0;
    qint64 capacity = 0;
    int width = 0;
    QVarLengthArray<double, 4> values;
    QString text;
    quint64 request = 0;
    FeedEventRow feed;
    std::shared_ptr<QSemaphore> done;
};

// The answer to a load request. Empty when the journal has nothing for the
// key or has failed.
struct JournalResult {
    quint64 request = 0;
    std::unique_ptr<WaveStore> wave;
    JournalLines lines;
    std::vector<FeedEventRow> feedEvents;
};
