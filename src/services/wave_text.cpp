#include "wave_text.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstring>

namespace wave_text {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
constexpr double kMaxTime = 8.64e15; // the range of a JavaScript Date

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

qint64 floorMod(qint64 a, qint64 b)
{
    return a - floorDiv(a, b) * b;
}

int putText(char *out, const char *text)
{
    const int length = int(std::strlen(text));
    std::memcpy(out, text, std::size_t(length));
    return length;
}

// What QML's Date hands to the locale: the local time of day.
QTime localTime(qint64 epochSecond)
{
    return QDateTime::fromMSecsSinceEpoch(epochSecond * 1000, Qt::LocalTime).time();
}

QString formatTimeOfDay(const QLocale &locale, const QTime &time)
{
    return locale.toString(time, QLocale::LongFormat);
}

// Stands for the time zone's name in a format: no pattern letter, so the
// locale copies it as it is; a private-use character, so no text holds it.
constexpr QChar kZoneMark(0xE000);

// The format with each time-zone name ('t' outside quotes) marked.
QString markZoneNames(const QString &format)
{
    QString marked;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted; // "''" toggles twice: a quote, inside quotes or out
        marked += (c == QLatin1Char('t') && !quoted) ? kZoneMark : c;
    }
    return marked;
}

void appendMilliseconds(qint64 timeMs, QString &out)
{
    char digits[4];
    const auto result = std::to_chars(digits, digits + sizeof digits, floorMod(timeMs, 1000));
    out += QLatin1Char('.');
    out += QLatin1String(digits, int(result.ptr - digits));
}

} // namespace

int writeNumber(double value, char *out)
{
    if (std::isnan(value))
        return putText(out, "NaN");
    if (std::isinf(value))
        return putText(out, value > 0 ? "Infinity" : "-Infinity");
    if (value == 0)
        return putText(out, "0"); // also -0

    char *p = out;
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }
    // Shortest round-trip digits, nearest to the value: "d[.ddd]e±x".
    char scientific[kNumberBufferSize];
    const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                      std::chars_format::scientific);
    char digits[20];
    int k = 0;
    const char *s = scientific;
    for (; s < result.ptr && *s != 'e'; ++s) {
        if (*s != '.')
            digits[k++] = *s;
    }
    int exponent = 0;
    std::from_chars(s + (s[1] == '+' ? 2 : 1), result.ptr, exponent);
    const int n = exponent + 1; // the value is 0.digits × 10^n

    if (k <= n && n <= 21) {
        std::memcpy(p, digits, std::size_t(k));
        p += k;
        for (int i = k; i < n; ++i)
            *p++ = '0';
    } else if (0 < n && n <= 21) {
        std::memcpy(p, digits, std::size_t(n));
        p += n;
        *p++ = '.';
        std::memcpy(p, digits + n, std::size_t(k - n));
        p += k - n;
    } else if (-6 < n && n <= 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = n; i < 0; ++i)
            *p++ = '0';
        std::memcpy(p, digits, std::size_t(k));
        p += k;
    } else {
        *p++ = digits[0];
        if (k > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, std::size_t(k - 1));
            p += k - 1;
        }
        *p++ = 'e';
        *p++ = n - 1 >= 0 ? '+' : '-';
        p = std::to_chars(p, out + kNumberBufferSize, std::abs(n - 1)).ptr;
    }
    return int(p - out);
}

QString numberText(double value)
{
    char buffer[kNumberBufferSize];
    return QString::fromLatin1(buffer, writeNumber(value, buffer));
}

bool clipTime(double timeMs, double *clipped)
{
    if (!std::isfinite(timeMs) || std::abs(timeMs) > kMaxTime)
        return false;
    *clipped = std::trunc(timeMs) + 0.0; // + 0.0 turns -0 into 0
    return true;
}

QString timeText(qint64 timeMs)
{
    QString text = formatTimeOfDay(QLocale(), localTime(floorDiv(timeMs, 1000)));
    appendMilliseconds(timeMs, text);
    return text;
}

QString isoTimeText(qint64 timeMs)
{
    QString text;
    IsoTimeFormatter().append(timeMs, text);
    return text;
}

void IsoTimeFormatter::append(qint64 timeMs, QString &out)
{
    const qint64 thisSecond = floorDiv(timeMs, 1000);
    if (thisSecond != second) {
        second = thisSecond;
        secondText = QDateTime::fromSecsSinceEpoch(thisSecond, Qt::LocalTime)
                         .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss."));
    }
    out += secondText;
    const qint64 ms = floorMod(timeMs, 1000);
    out += QLatin1Char(char('0' + ms / 100));
    out += QLatin1Char(char('0' + ms / 10 % 10));
    out += QLatin1Char(char('0' + ms % 10));
}

TimeTextFormatter::TimeTextFormatter(const QLocale &locale)
    : locale(locale)
    , minute(std::numeric_limits<qint64>::min())
    , timesOfDay(int(kSecondsPerDay))
{
    // The name the long format asks for on every call: that of now.
    zoneName = QDateTime::currentDateTime().timeZoneAbbreviation();
    markedFormat = markZoneNames(locale.timeFormat(QLocale::LongFormat));
    // The system locale may format the long time another way than by its
    // format (its time and number categories can differ): then as before.
    for (const QTime &probe : {QTime(1, 2, 3), QTime(13, 14, 15)}) {
        if (formatTimeOfDay(probe) != wave_text::formatTimeOfDay(locale, probe)) {
            markedFormat = QString();
            break;
        }
    }
}

QString TimeTextFormatter::formatTimeOfDay(const QTime &time) const
{
    if (markedFormat.isNull())
        return wave_text::formatTimeOfDay(locale, time);
    QString text = locale.toString(time, markedFormat);
    text.replace(kZoneMark, zoneName);
    return text;
}

int TimeTextFormatter::localSecondOfDay(qint64 epochSecond)
{
    const auto exact = [](qint64 second) {
        return localTime(second).msecsSinceStartOfDay() / 1000;
    };
    // The local clock's lead on UTC, modulo a day: all the time of day needs.
    const auto lead = [&](qint64 second) {
        return int(floorMod(exact(second) - second, kSecondsPerDay));
    };
    const qint64 thisMinute = floorDiv(epochSecond, 60);
    if (thisMinute != minute) {
        minute = thisMinute;
        offsetAtStart = lead(thisMinute * 60);
        offsetAtEnd = lead(thisMinute * 60 + 59);
    }
    // Offsets change at most once in a minute: equal ends mean no change.
    if (offsetAtStart != offsetAtEnd)
        return exact(epochSecond);
    return int(floorMod(epochSecond + offsetAtStart, kSecondsPerDay));
}

const QString &TimeTextFormatter::timeOfDayText(int secondOfDay)
{
    QString &text = timesOfDay[secondOfDay];
    if (text.isNull())
        text = formatTimeOfDay(QTime::fromMSecsSinceStartOfDay(secondOfDay * 1000));
    return text;
}

void TimeTextFormatter::append(qint64 timeMs, QString &out)
{
    out += timeOfDayText(localSecondOfDay(floorDiv(timeMs, 1000)));
    appendMilliseconds(timeMs, out);
}

QString TimeTextFormatter::text(qint64 timeMs)
{
    QString out;
    append(timeMs, out);
    return out;
}

} // namespace wave_text
