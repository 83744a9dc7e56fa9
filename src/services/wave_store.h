#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

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
//
// Each block also keeps, per chunk of kChunkEntries entries and per curve,
// the chunk's first minimum and first maximum (NaN skipped), so that drawing
// a week into a chart's pixel columns reads a few values per chunk instead
// of every entry (wave_decimation.h). A chunk's extremes are whole once its
// last entry is in; they cost 4 doubles per curve and chunk (about 3 %).
//
// A snapshot (WaveSnapshot) shares the blocks: a push writes only past the
// last entry and nothing held is ever written over, so a snapshot reads its
// entries on another thread while the store goes on, and keeps the blocks it
// needs alive after the store has let them go. Taking one copies a pointer
// per 4096 entries.

class WaveSnapshot;

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

    // The entries as they are now (see above).
    WaveSnapshot snapshot() const;

    static constexpr qsizetype kBlockEntries = 4096;
    static constexpr qsizetype kChunkEntries = 128;
    static constexpr qsizetype kChunksPerBlock = kBlockEntries / kChunkEntries;

private:
    // Doubles per block: the entries, then each chunk's extremes.
    qsizetype blockDoubles() const;
    void noteExtremes(double *block, qsizetype inBlock, const double *record);

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
    std::deque<std::shared_ptr<double[]>> blocks;
};

// The entries of a store at one moment, read-only; safe to read on another
// thread (see above).
class WaveSnapshot {
public:
    WaveSnapshot() = default;

    int valuesPerEntry() const { return width - 1; }
    qsizetype size() const { return entries; }

    double timeAt(qsizetype i) const { return record(i)[0]; }
    double valueAt(qsizetype i, int curve) const { return record(i)[1 + curve]; }

    // Whether entry i starts a chunk that the snapshot holds whole (entries
    // i .. i + WaveStore::kChunkEntries - 1).
    bool wholeChunkAt(qsizetype i) const
    {
        return (first + i) % WaveStore::kChunkEntries == 0 &&
               i + WaveStore::kChunkEntries <= entries;
    }
    // Such a chunk's extremes of a curve: {minimum, maximum, offset of the
    // first minimum, of the first maximum}; a negative offset: no number.
    const double *chunkExtremes(qsizetype i, int curve) const
    {
        const qsizetype at = first + i;
        return blocks[std::size_t(at / WaveStore::kBlockEntries)].get() +
               WaveStore::kBlockEntries * width +
               ((at % WaveStore::kBlockEntries) / WaveStore::kChunkEntries) * (width - 1) * 4 +
               curve * 4;
    }

private:
    friend class WaveStore;
    friend class WaveExportText;

    const double *record(qsizetype i) const
    {
        const qsizetype at = first + i;
        return blocks[std::size_t(at / WaveStore::kBlockEntries)].get() +
               (at % WaveStore::kBlockEntries) * width;
    }

    int width = 1;
    qsizetype entries = 0;
    qsizetype first = 0;
    std::vector<std::shared_ptr<const double[]>> blocks;
};

// The export text of a snapshot, made a piece at a time: the header line,
// then the data lines, range after range, on any one thread. The time of day
// is written in the default locale, and with the time zone's name, of the
// moment this is made (see wave_text::TimeTextFormatter).
class WaveExportText {
public:
    WaveExportText(WaveSnapshot entries, QString header, QStringList names,
                   WaveStore::TimeColumn timeColumn = WaveStore::TimeColumn::TimeOfDay);
    ~WaveExportText();
    WaveExportText(WaveExportText &&) noexcept;
    WaveExportText &operator=(WaveExportText &&) noexcept;

    // Data lines, one per entry.
    qsizetype lines() const { return snapshot.size(); }
    // The header, then "," and each name.
    QString headerLine() const;
    // Appends "\n" and the data line of each entry in [from, to).
    void appendLines(qsizetype from, qsizetype to, QString &out);
    // The whole text.
    QString text();

private:
    struct Formatters;

    WaveSnapshot snapshot;
    QString header;
    QStringList names;
    WaveStore::TimeColumn timeColumn;
    std::unique_ptr<Formatters> formatters;
};
