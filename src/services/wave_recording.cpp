#include "wave_recording.h"

#include "session_journal.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTime>
#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

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

QString formatTimeOfDay(const QTime &time)
{
    return QLocale().toString(time, QLocale::LongFormat);
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
    QString text = formatTimeOfDay(localTime(floorDiv(timeMs, 1000)));
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

TimeTextFormatter::TimeTextFormatter()
    : minute(std::numeric_limits<qint64>::min())
    , timesOfDay(int(kSecondsPerDay))
{
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

WaveStore::WaveStore(int valuesPerEntry)
    : width(1 + qMax(0, valuesPerEntry))
{
}

void WaveStore::setValuesPerEntry(int count)
{
    count = qMax(0, count);
    if (count == valuesPerEntry())
        return;
    clear();
    width = 1 + count;
}

void WaveStore::setCapacity(qsizetype capacity)
{
    cap = qMax<qsizetype>(0, capacity);
    while (entries > cap)
        dropOldest();
}

bool WaveStore::append(double timeMs, const double *values, int count)
{
    double time;
    if (!wave_text::clipTime(timeMs, &time))
        return false;
    const qsizetype at = first + entries;
    if (at / kBlockEntries == qsizetype(blocks.size()))
        blocks.push_back(std::make_unique<double[]>(std::size_t(kBlockEntries * width)));
    double *record = blocks.back().get() + (at % kBlockEntries) * width;
    record[0] = time;
    const int stored = qMin(qMax(0, count), width - 1);
    std::copy(values, values + stored, record + 1);
    std::fill(record + 1 + stored, record + width, std::numeric_limits<double>::quiet_NaN());
    ++entries;
    while (entries > cap)
        dropOldest();
    return true;
}

void WaveStore::dropOldest()
{
    --entries;
    if (entries == 0) {
        clear();
        return;
    }
    if (++first == kBlockEntries) {
        blocks.pop_front();
        first = 0;
    }
}

void WaveStore::clear()
{
    blocks.clear();
    entries = 0;
    first = 0;
}

QString WaveStore::exportText(const QString &header, const QStringList &names,
                              TimeColumn timeColumn) const
{
    QString text = header;
    for (const QString &name : names) {
        text += QLatin1Char(',');
        text += name;
    }
    if (entries == 0)
        return text;

    const int columns = int(names.size());
    const int stored = qMin(columns, valuesPerEntry());
    // About 30 characters of time text and 12 per value; grows if needed.
    text.reserve(text.size() + entries * (32 + 12 * columns));
    // Made only when used: the time-of-day formatter holds a day of texts.
    std::optional<wave_text::TimeTextFormatter> times;
    std::optional<wave_text::IsoTimeFormatter> dateTimes;
    if (timeColumn == TimeColumn::IsoDateTime)
        dateTimes.emplace();
    else
        times.emplace();
    char number[wave_text::kNumberBufferSize];
    for (qsizetype i = 0; i < entries; ++i) {
        const double *r = record(i);
        text += QLatin1Char('\n');
        if (dateTimes)
            dateTimes->append(qint64(r[0]), text);
        else
            times->append(qint64(r[0]), text);
        for (int c = 0; c < columns; ++c) {
            const double value = c < stored ? r[1 + c] : std::numeric_limits<double>::quiet_NaN();
            text += QLatin1Char(',');
            text += QLatin1String(number, wave_text::writeNumber(value, number));
        }
    }
    return text;
}

std::size_t WaveStore::allocatedBytes() const
{
    return blocks.size() * std::size_t(kBlockEntries) * std::size_t(width) * sizeof(double);
}

WaveRecording::WaveRecording(QObject *parent)
    : QObject(parent)
{
}

void WaveRecording::setCapacity(int capacity)
{
    capacity = qMax(0, capacity);
    if (capacity == this->capacity())
        return;
    const qsizetype before = store.size();
    store.setCapacity(capacity);
    sinceLoad = qMin(sinceLoad, store.size());
    if (journalSession)
        SessionJournal::getInstance()->trimWave(journalSession, key, capacity);
    emit capacityChanged();
    setCount(before);
}

void WaveRecording::setCurveCount(int count)
{
    count = qMax(0, count);
    if (count == curveCount())
        return;
    const qsizetype before = store.size();
    store.setValuesPerEntry(count);
    if (journalSession) {
        // The history has the old width: it goes as the entries did.
        setLoadRequest(0);
        sinceLoad = 0;
        SessionJournal::getInstance()->resetWave(journalSession, key);
    }
    emit curveCountChanged();
    setCount(before);
}

bool WaveRecording::append(double timeMs, const QVariantList &values)
{
    const int n = qMin(int(values.size()), curveCount());
    scratch.resize(n);
    for (int i = 0; i < n; ++i) {
        const QVariant &v = values.at(i);
        // Only numbers count: strings, booleans, null and undefined are NaN.
        switch (v.userType()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            scratch[i] = v.toDouble();
            break;
        default:
            scratch[i] = std::numeric_limits<double>::quiet_NaN();
        }
    }
    const qsizetype before = store.size();
    if (!store.append(timeMs, scratch.constData(), n))
        return false;
    if (journalSession) {
        journalEntry(store.size() - 1);
        if (loadRequest)
            sinceLoad = qMin(sinceLoad + 1, store.size());
    }
    setCount(before);
    return true;
}

void WaveRecording::clear()
{
    const qsizetype before = store.size();
    store.clear();
    if (journalSession) {
        // A history still on its way is older than the reset.
        setLoadRequest(0);
        sinceLoad = 0;
        SessionJournal::getInstance()->resetWave(journalSession, key);
    }
    setCount(before);
}

QVariantMap WaveRecording::entry(int i) const
{
    if (i < 0 || i >= store.size())
        return {};
    QVariantList vals;
    vals.reserve(curveCount());
    for (int c = 0; c < curveCount(); ++c)
        vals.append(store.valueAt(i, c));
    return {{QStringLiteral("time"), wave_text::timeText(qint64(store.timeAt(i)))},
            {QStringLiteral("vals"), vals}};
}

double WaveRecording::timeMs(int i) const
{
    if (i < 0 || i >= store.size())
        return std::numeric_limits<double>::quiet_NaN();
    return store.timeAt(i);
}

QString WaveRecording::exportText(const QString &header, const QStringList &curveNames,
                                  bool withDate) const
{
    return store.exportText(header, curveNames,
                            withDate ? WaveStore::TimeColumn::IsoDateTime
                                     : WaveStore::TimeColumn::TimeOfDay);
}

QVariantList WaveRecording::values(int i) const
{
    QVariantList vals;
    if (i < 0 || i >= store.size())
        return vals;
    vals.reserve(curveCount());
    for (int c = 0; c < curveCount(); ++c)
        vals.append(store.valueAt(i, c));
    return vals;
}

void WaveRecording::setJournalKey(const QString &journalKey)
{
    if (journalKey == key)
        return;
    key = journalKey;
    journalSession = 0;
    setLoadRequest(0);
    sinceLoad = 0;
    emit journalKeyChanged();
    if (complete)
        attachJournal();
}

void WaveRecording::classBegin()
{
    complete = false;
}

void WaveRecording::componentComplete()
{
    complete = true;
    attachJournal();
}

void WaveRecording::attachJournal()
{
    if (key.isEmpty())
        return;
    SessionJournal *journal = SessionJournal::forObject(this);
    const quint64 session = journal->session();
    const quint64 request = ++requests;
    QPointer<WaveRecording> self(this);
    if (!journal->loadWave(session, key, curveCount(), capacity(), this,
                           [self, request](std::unique_ptr<WaveStore> history) {
                               if (self)
                                   self->takeHistory(request, std::move(history));
                           }))
        return;
    journalSession = session;
    // Entries pushed before the key was set follow the history, in the
    // journal as here.
    for (qsizetype i = 0; i < store.size(); ++i)
        journalEntry(i);
    sinceLoad = store.size();
    setLoadRequest(request);
}

void WaveRecording::takeHistory(quint64 request, std::unique_ptr<WaveStore> history)
{
    if (request != loadRequest)
        return;
    setLoadRequest(0);
    const qsizetype before = store.size();
    if (history && !history->isEmpty() && history->valuesPerEntry() == curveCount()) {
        history->setCapacity(store.capacity());
        QVector<double> values(curveCount());
        for (qsizetype i = store.size() - sinceLoad; i < store.size(); ++i) {
            for (int c = 0; c < curveCount(); ++c)
                values[c] = store.valueAt(i, c);
            history->append(store.timeAt(i), values.constData(), curveCount());
        }
        store = std::move(*history);
    }
    sinceLoad = 0;
    setCount(before);
    emit historyLoaded();
}

void WaveRecording::journalEntry(qsizetype i)
{
    const int width = curveCount();
    QVarLengthArray<double, 8> values(width);
    for (int c = 0; c < width; ++c)
        values[c] = store.valueAt(i, c);
    SessionJournal::getInstance()->appendSample(journalSession, key, qint64(store.timeAt(i)),
                                                values.constData(), width, store.capacity());
}

void WaveRecording::setLoadRequest(quint64 request)
{
    if (request == loadRequest)
        return;
    loadRequest = request;
    emit loadingChanged();
}

void WaveRecording::setCount(qsizetype before)
{
    if (store.size() != before)
        emit countChanged();
}
