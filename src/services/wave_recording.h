#pragma once

#include <QObject>
#include <QQmlParserStatus>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include <cstddef>
#include <deque>
#include <limits>
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

namespace wave_text {

// Enough for any numberText: sign, 17 digits, point, "e-324".
inline constexpr int kNumberBufferSize = 32;

// JavaScript's Number-to-string: the shortest digits that read back as the
// same double; plain notation for exponents from -7 to 20, otherwise
// "d.ddde+n" / "de-n"; "NaN", "Infinity", "-Infinity"; -0 gives "0".
// Writes into out (at least kNumberBufferSize chars) and returns the length.
int writeNumber(double value, char *out);
QString numberText(double value);

// The milliseconds a JavaScript Date made from timeMs holds, or false when it
// would be an invalid date (not finite, or beyond ±8.64e15).
bool clipTime(double timeMs, double *clipped);

// The time text of an entry, for a whole number of milliseconds since the
// epoch: what QML's
//   new Date(ms).toLocaleTimeString(Qt.locale(), Locale.LongFormat) + "." + ms % 1000
// gives (milliseconds counted forward from the second, so -1 gives ".999").
QString timeText(qint64 timeMs);

// The local date and time of a whole number of milliseconds since the epoch,
// as yyyy-MM-ddTHH:mm:ss.zzz (ISO 8601 without a zone).
QString isoTimeText(qint64 timeMs);

// isoTimeText for many times in a row: the local date and time is worked out
// once per second.
class IsoTimeFormatter {
public:
    void append(qint64 timeMs, QString &out);

private:
    qint64 second = std::numeric_limits<qint64>::min();
    QString secondText;
};

// timeText for many times in a row. Converting to local time and formatting
// through QLocale cost microseconds each; this converts once per minute
// (exactly, second by second, in a minute where the UTC offset changes) and
// formats each time of day once. Answers as timeText would at the moment of
// construction; one formatter per export.
class TimeTextFormatter {
public:
    TimeTextFormatter();
    // Appends the time text of timeMs to out.
    void append(qint64 timeMs, QString &out);
    QString text(qint64 timeMs);

private:
    int localSecondOfDay(qint64 epochSecond);
    const QString &timeOfDayText(int secondOfDay);

    qint64 minute;
    int offsetAtStart = 0; // UTC offsets (s) at the minute's first and last second
    int offsetAtEnd = 0;
    QVector<QString> timesOfDay; // 86400 slots, filled on first use
};

} // namespace wave_text

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

// The recording as a QML type (import OrrindelRecording 1.0, WaveRecording):
//   capacity    int, default 1209600; entries kept
//   curveCount  int, default 1; values per entry (a change empties it)
//   count       int, read-only; entries held
//   append(timeMs, values)  timeMs: milliseconds since the epoch; values: a
//               list of numbers, one per curve. Answers false for an invalid time
//   clear()
//   entry(i)    {time: text, vals: list of numbers}; index 0 is the oldest;
//               an empty object outside 0 .. count - 1
//   timeMs(i)   the entry's time; NaN outside the recording
//   exportText(header, curveNames)  the whole export text
//   values(i)   the entry's values; an empty list outside the recording
//   journalKey  string, default "": the recording's key in the session
//               journal (SessionJournal). When set (once the object is
//               complete), the recording loads what the journal kept for the
//               key, puts it before the entries pushed meanwhile (then
//               historyLoaded()), and journals every push, clear and
//               capacity change. A change of curveCount empties the
//               recording and the journal's. Set curveCount first.
class WaveRecording : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int capacity READ capacity WRITE setCapacity NOTIFY capacityChanged)
    Q_PROPERTY(int curveCount READ curveCount WRITE setCurveCount NOTIFY curveCountChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString journalKey READ journalKey WRITE setJournalKey NOTIFY journalKeyChanged)
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)
public:
    explicit WaveRecording(QObject *parent = nullptr);

    int capacity() const { return int(store.capacity()); }
    void setCapacity(int capacity);
    int curveCount() const { return store.valuesPerEntry(); }
    void setCurveCount(int count);
    int count() const { return int(store.size()); }

    Q_INVOKABLE bool append(double timeMs, const QVariantList &values);
    Q_INVOKABLE void clear();
    Q_INVOKABLE QVariantMap entry(int i) const;
    Q_INVOKABLE double timeMs(int i) const;
    // withDate: the first column holds the local date and time (ISO 8601).
    Q_INVOKABLE QString exportText(const QString &header, const QStringList &curveNames,
                                   bool withDate = false) const;
    Q_INVOKABLE QVariantList values(int i) const;

    const WaveStore &entries() const { return store; }

    QString journalKey() const { return key; }
    void setJournalKey(const QString &journalKey);
    // Waiting for the journal's history.
    bool isLoading() const { return loadRequest != 0; }

    void classBegin() override;
    void componentComplete() override;

signals:
    void capacityChanged();
    void curveCountChanged();
    void countChanged();
    void journalKeyChanged();
    void loadingChanged();
    // The journal's history is in (possibly none).
    void historyLoaded();

private:
    void setCount(qsizetype before);
    void attachJournal();
    void takeHistory(quint64 request, std::unique_ptr<WaveStore> history);
    void journalEntry(qsizetype i);
    void setLoadRequest(quint64 request);

    WaveStore store;
    QVector<double> scratch; // one push's values

    QString key;
    bool complete = true;       // false while QML sets the initial properties
    quint64 journalSession = 0; // 0: not journalling
    quint64 loadRequest = 0;    // the load waited for; 0: none
    quint64 requests = 0;
    qsizetype sinceLoad = 0; // entries pushed since the load was asked for
};
