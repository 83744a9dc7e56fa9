#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <utility>

// How the session journal stores chart samples, and which rows it keeps.
// Plain functions and values: no SQL, no threads.
//
// A chart's samples are stored in chunks, one table row per chunk of
// consecutive samples. A row per sample would cost some 20 bytes of row
// overhead for about 8 bytes of data, and reading back a full week row by row
// through Qt SQL takes seconds; a chunk of a hundred samples is read and
// decoded in a few microseconds.
//
// Chunk data: varint(width), then per sample varint(zigzag(time − previous
// time)) (the first against 0), then `width` values. Varints are LEB128, low
// seven bits first.
//
// A value is a varint header h, h & 15 the form and zigzag(h >> 4) an integer
// m below 2^53 in magnitude:
//    0       m                     (a whole number)
//    1 … 8   m / 10^form           (a decimal, correctly rounded)
//    9 … 11  m × 0.1, 0.01, 0.001  (a raw reading scaled as the decoder does)
//    12      NaN                   (a missing value; m is 0)
//    13      the 8 bytes of the IEEE double follow, little-endian (m is 0)
// The encoder picks the first form that gives back the very same double, so
// every value reads back bit for bit (NaN as the quiet NaN); 25.3 takes two
// bytes, a pump current of 12.345 A three.
namespace journal_format {

void appendVarint(QByteArray &out, quint64 value);
// False when the bytes end inside the varint or it runs past 64 bits.
bool readVarint(const char *&p, const char *end, quint64 *value);

void appendValue(QByteArray &out, double value);
bool readValue(const char *&p, const char *end, double *value);

// Builds one chunk's data, sample by sample.
class ChunkWriter {
public:
    // A chunk is closed when its data reaches this size or this many samples:
    // with its last sample and its row's other columns it then still fits a
    // 1 KiB database page without spilling to another, so rewriting it for
    // each commit touches one page.
    static constexpr int kMaxBytes = 896;
    static constexpr int kMaxSamples = 128;

    explicit ChunkWriter(int width);

    int width() const { return valueCount; }
    int count() const { return samples; }
    qint64 firstMs() const { return first; }
    qint64 lastMs() const { return last; }
    const QByteArray &data() const { return bytes; }
    bool isFull() const { return bytes.size() >= kMaxBytes || samples >= kMaxSamples; }

    // Stores width() values: values beyond count are NaN.
    void append(qint64 timeMs, const double *values, int count);

private:
    int valueCount;
    int samples = 0;
    qint64 first = 0;
    qint64 last = 0;
    QByteArray bytes;
};

// Calls sample(timeMs, values, width) for every sample of a chunk from index
// skip on. Answers the number of samples in the chunk, or -1 when the data is
// not a well-formed chunk (then sample may have been called for some).
using SampleSink = std::function<void(qint64 timeMs, const double *values, int width)>;
int readChunk(const QByteArray &data, qint64 skip, const SampleSink &sample);

// The chunks of one chart's table, oldest first: row number and sample count.
// A chart keeps its newest `capacity` samples; whole chunks are deleted once
// every sample in them is older than that, so a table holds between capacity
// and capacity + one chunk of samples, and the reader skips the surplus.
class ChunkLedger {
public:
    void clear();
    void addChunk(qint64 row, qint64 samples);
    void addToNewest(qint64 samples);

    qint64 total() const { return sum; }
    int size() const { return int(chunks.size()); }
    bool isEmpty() const { return chunks.empty(); }
    qint64 rowAt(int i) const { return chunks[std::size_t(i)].first; }
    qint64 samplesAt(int i) const { return chunks[std::size_t(i)].second; }

    // How many of the oldest chunks hold only samples outside the newest
    // capacity (all of them for a capacity of 0 or less).
    int expired(qint64 capacity) const;
    void dropOldest(int n);
    // Samples beyond the newest capacity.
    qint64 surplus(qint64 capacity) const
    {
        return qMax<qint64>(0, sum - qMax<qint64>(0, capacity));
    }

private:
    std::deque<std::pair<qint64, qint64>> chunks;
    qint64 sum = 0;
};

// The message list's lines: kept for seven days after the newest line and at
// most kMaxLines of them. Both rules drop the oldest lines only, so a table's
// rows stay a run of consecutive row numbers (SQLite numbers a new row one
// past the largest).
inline constexpr qint64 kLineMaxAgeMs = 7LL * 24 * 3600 * 1000;
inline constexpr qint64 kMaxLines = 200000;

// Of the oldest lines (their times, oldest first), how many expire when a line
// written at newestMs arrives: those at the front written more than seven days
// before it. The first younger line ends the run, also when a later one is
// older (the clock was set back).
int expiredLines(const QVector<qint64> &oldestFirst, qint64 newestMs);

// The last row that the count limit drops once row newestRow is in: rows up
// to it go (none when it is below 1).
inline qint64 lastRowOverLimit(qint64 newestRow, qint64 maxLines)
{
    return newestRow - maxLines;
}

} // namespace journal_format
