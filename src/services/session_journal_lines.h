#pragma once

#include <QStringList>
#include <QVector>

// A list's lines as the session journal keeps them: each line's text and the
// time it was written (ms since the epoch), oldest first, one time per text.
struct JournalLines {
    QStringList texts;
    QVector<qint64> timesMs;
};
