#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <memory>

// The recording behind a real-time chart: one entry per push (a time and one
// value per curve), oldest first, capped, exported as comma-separated text.
//
// Rules:
//  - an entry keeps its time as milliseconds since the epoch (a whole number:
//    fractions are cut toward zero, as a JavaScript Date does) and its values
//    as doubles, unrounded; a value that is missing or not a number is NaN;
//  - after every push, while the recording holds more entries than its
//    capacity, the oldest is dropped; lowering the capacity drops at once;
//  - the time is written only when read or exported, as
//    timeText(): the local time of day in the default locale's long time
//    format, ".", the milliseconds 0 to 999 without padding;
//  - the export: the header, then "," and each curve name; then per entry,
//    oldest first, "\n", the time text and "," and each value as
//    numberText(). No line break after the last line, no quoting;
//  - the export with dates: the same, with isoTimeText() (the local date and
//    time) in place of the time text, for recordings that span midnight or
//    several sessions.
//
// A JavaScript list of entry objects costs some 600 bytes an entry; here an
// entry is (1 + values per entry) doubles, kept in blocks that are allocated
// as the recording grows and freed as the oldest entries leave.

// The entries, without QML.
class WaveStore {
public:
    static constexpr qsizetype kDefaultCapacity = 1209600; // 7 days at 2 pushes a second

    explicit WaveStore(int valuesPerEntry = 1);

    int valuesPerEntry() const { return width - 1; }
    // Changes the number of values per entry; a change empties the recording.
    void setValuesPerEntry(int count);

    qsizetype capacity() const { return cap; }
    // Negative counts as 0. Drops the oldest entries beyond the new capacity.
    void setCapacity(qsizetype capacity);

    qsizetype size() const { return entries; }
    bool isEmpty() const { return entries == 0; }

    // Stores a push: values beyond count are NaN, values beyond the width are
    // ignored. False (nothing stored) when the time is not a valid date.
    bool append(double timeMs, const double *values, int count);
    void clear();

    // Index 0 is the oldest entry; the index must be below size().
    double timeAt(qsizetype i) const { return record(i)[0]; }
    double valueAt(qsizetype i, int curve) const { return record(i)[1 + curve]; }

    enum class TimeColumn { TimeOfDay, IsoDateTime };

    // The export text (see the rules above). names gives the columns: a
    // column beyond the values per entry is written as NaN.
    QString exportText(const QString &header, const QStringList &names,
                       TimeColumn timeColumn = TimeColumn::TimeOfDay) const;

    // Bytes held by the entry blocks.
    std::size_t allocatedBytes() const;

    static constexpr qsizetype kBlockEntries = 4096;

private:
    const double *record(qsizetype i) const
    {
        const qsizetype at = first + i;
        return blocks[std::size_t(at / kBlockEntries)].get() + (at % kBlockEntries) * width;
    }
    void dropOldest();

    int width; // doubles per entry: the time, then the values
    qsizetype cap = kDefaultCapacity;
    qsizetype entries = 0;
    qsizetype first = 0; // position of the oldest entry in the first block
    std::deque<std::unique_ptr<double[]>> blocks;
};
