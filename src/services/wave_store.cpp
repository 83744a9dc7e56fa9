#include "wave_store.h"

#include "wave_text.h"

#include <algorithm>
#include <cmath>
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
        blocks.push_back(std::shared_ptr<double[]>(new double[std::size_t(blockDoubles())]()));
    double *block = blocks.back().get();
    double *record = block + (at % kBlockEntries) * width;
    record[0] = time;
    const int stored = qMin(qMax(0, count), width - 1);
    std::copy(values, values + stored, record + 1);
    std::fill(record + 1 + stored, record + width, std::numeric_limits<double>::quiet_NaN());
    noteExtremes(block, at % kBlockEntries, record);
    ++entries;
    while (entries > cap)
        dropOldest();
    return true;
}

qsizetype WaveStore::blockDoubles() const
{
    return kBlockEntries * width + kChunksPerBlock * (width - 1) * 4;
}

void WaveStore::noteExtremes(double *block, qsizetype inBlock, const double *record)
{
    const qsizetype offset = inBlock % kChunkEntries;
    double *chunk = block + kBlockEntries * width + (inBlock / kChunkEntries) * (width - 1) * 4;
    for (int c = 0; c < width - 1; ++c) {
        double *e = chunk + c * 4;
        if (offset == 0)
            e[2] = -1; // a new chunk: no number yet
        const double v = record[1 + c];
        if (std::isnan(v))
            continue;
        if (e[2] < 0) {
            e[0] = e[1] = v;
            e[2] = e[3] = double(offset);
            continue;
        }
        if (v < e[0]) {
            e[0] = v;
            e[2] = double(offset);
        }
        if (v > e[1]) {
            e[1] = v;
            e[3] = double(offset);
        }
    }
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
    return WaveExportText(snapshot(), header, names, timeColumn).text();
}

WaveSnapshot WaveStore::snapshot() const
{
    WaveSnapshot s;
    s.width = width;
    s.entries = entries;
    s.first = first;
    s.blocks.assign(blocks.begin(), blocks.end());
    return s;
}

std::size_t WaveStore::allocatedBytes() const
{
    return blocks.size() * std::size_t(blockDoubles()) * sizeof(double);
}

struct WaveExportText::Formatters {
    // Only the one in use: the time-of-day formatter holds a day of texts.
    std::optional<wave_text::TimeTextFormatter> times;
    std::optional<wave_text::IsoTimeFormatter> dateTimes;
};

WaveExportText::WaveExportText(WaveSnapshot entries, QString header, QStringList names,
                               WaveStore::TimeColumn timeColumn)
    : snapshot(std::move(entries))
    , header(std::move(header))
    , names(std::move(names))
    , timeColumn(timeColumn)
    , formatters(std::make_unique<Formatters>())
{
    if (timeColumn == WaveStore::TimeColumn::IsoDateTime)
        formatters->dateTimes.emplace();
    else
        formatters->times.emplace(QLocale());
}

WaveExportText::~WaveExportText() = default;
WaveExportText::WaveExportText(WaveExportText &&) noexcept = default;
WaveExportText &WaveExportText::operator=(WaveExportText &&) noexcept = default;

QString WaveExportText::headerLine() const
{
    QString text = header;
    for (const QString &name : names) {
        text += QLatin1Char(',');
        text += name;
    }
    return text;
}

void WaveExportText::appendLines(qsizetype from, qsizetype to, QString &out)
{
    const int columns = int(names.size());
    const int stored = qMin(columns, snapshot.valuesPerEntry());
    char number[wave_text::kNumberBufferSize];
    for (qsizetype i = from; i < to; ++i) {
        const double *r = snapshot.record(i);
        out += QLatin1Char('\n');
        if (formatters->dateTimes)
            formatters->dateTimes->append(qint64(r[0]), out);
        else
            formatters->times->append(qint64(r[0]), out);
        for (int c = 0; c < columns; ++c) {
            const double value = c < stored ? r[1 + c] : std::numeric_limits<double>::quiet_NaN();
            out += QLatin1Char(',');
            out += QLatin1String(number, wave_text::writeNumber(value, number));
        }
    }
}

QString WaveExportText::text()
{
    QString text = headerLine();
    if (lines() == 0)
        return text;
    // About 30 characters of time text and 12 per value; grows if needed.
    text.reserve(text.size() + lines() * (32 + 12 * int(names.size())));
    appendLines(0, lines(), text);
    return text;
}
