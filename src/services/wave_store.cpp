#include "wave_store.h"

#include "wave_text.h"

#include <algorithm>
#include <limits>
#include <optional>

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
