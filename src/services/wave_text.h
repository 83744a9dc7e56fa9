#pragma once

#include <QLocale>
#include <QString>
#include <QTime>
#include <QVector>

#include <limits>

// The texts of a chart's recording: its numbers as JavaScript writes them and
// its times as the chart shows them (see wave_store.h for where they go).
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
// formats each time of day once. Answers as timeText would, in the given
// locale, at the moment of construction; one formatter per export.
//
// Usable on another thread once made: the time zone's name that the long
// format shows is asked for here, once. Qt reads it from the C library's
// tzname, which a local-time conversion on any thread rewrites while it runs,
// so a name asked for during an export on another thread may come back empty.
class TimeTextFormatter {
public:
    explicit TimeTextFormatter(const QLocale &locale = QLocale());
    // Appends the time text of timeMs to out.
    void append(qint64 timeMs, QString &out);
    QString text(qint64 timeMs);

private:
    int localSecondOfDay(qint64 epochSecond);
    const QString &timeOfDayText(int secondOfDay);
    QString formatTimeOfDay(const QTime &time) const;

    QLocale locale;
    // The long format with a mark for the zone's name, and that name; a null
    // format where this would not give the locale's own texts.
    QString markedFormat;
    QString zoneName;
    qint64 minute;
    int offsetAtStart = 0; // UTC offsets (s) at the minute's first and last second
    int offsetAtEnd = 0;
    QVector<QString> timesOfDay; // 86400 slots, filled on first use
};

} // namespace wave_text
