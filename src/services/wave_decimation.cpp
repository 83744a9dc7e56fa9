#include "wave_decimation.h"

#include <algorithm>
#include <cmath>

namespace wave_decimation {

qsizetype firstAtOrAfter(const WaveSnapshot &entries, double timeMs)
{
    qsizetype low = 0;
    qsizetype high = entries.size();
    while (low < high) {
        const qsizetype mid = low + (high - low) / 2;
        if (entries.timeAt(mid) < timeMs)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

namespace {

// A column's extremes of one curve, by entry index; -1: no number yet.
struct Extremes {
    qsizetype low = -1;
    qsizetype high = -1;
    double lowValue = 0;
    double highValue = 0;

    // The extremes of entries later than those taken (one entry: both at
    // it): an equal value does not replace the first.
    void take(qsizetype lowAt, double lowV, qsizetype highAt, double highV)
    {
        if (low < 0) {
            *this = {lowAt, highAt, lowV, highV};
            return;
        }
        if (lowV < lowValue) {
            low = lowAt;
            lowValue = lowV;
        }
        if (highV > highValue) {
            high = highAt;
            highValue = highV;
        }
    }
};

void addExtremes(const WaveSnapshot &entries, int curve, const Extremes &e, std::vector<Point> &out)
{
    if (e.low < 0)
        return;
    const qsizetype first = std::min(e.low, e.high);
    const qsizetype second = std::max(e.low, e.high);
    out.push_back({entries.timeAt(first), entries.valueAt(first, curve)});
    if (second != first)
        out.push_back({entries.timeAt(second), entries.valueAt(second, curve)});
}

// Takes entries [from, to) into each curve's extremes: whole chunks by their
// kept extremes, the entries around them one by one.
void takeRange(const WaveSnapshot &entries, qsizetype from, qsizetype to,
               std::vector<Extremes> &column)
{
    const int curves = int(column.size());
    qsizetype i = from;
    while (i < to) {
        if (entries.wholeChunkAt(i) && i + WaveStore::kChunkEntries <= to) {
            for (int c = 0; c < curves; ++c) {
                const double *e = entries.chunkExtremes(i, c);
                if (e[2] >= 0)
                    column[std::size_t(c)].take(i + qsizetype(e[2]), e[0], i + qsizetype(e[3]),
                                                e[1]);
            }
            i += WaveStore::kChunkEntries;
            continue;
        }
        for (int c = 0; c < curves; ++c) {
            const double v = entries.valueAt(i, c);
            if (!std::isnan(v))
                column[std::size_t(c)].take(i, v, i, v);
        }
        ++i;
    }
}

} // namespace

std::vector<std::vector<Point>> minMaxColumns(const WaveSnapshot &entries, double fromMs,
                                              double toMs, int columns)
{
    const int curves = entries.valuesPerEntry();
    std::vector<std::vector<Point>> out(std::size_t(std::max(curves, 0)));
    if (columns <= 0 || !(toMs > fromMs) || curves <= 0)
        return out;
    for (std::vector<Point> &points : out)
        points.reserve(std::size_t(columns) * 2);

    const double span = toMs - fromMs;
    const auto columnOf = [&](qsizetype i) {
        return std::min(columns - 1, int((entries.timeAt(i) - fromMs) * columns / span));
    };
    std::vector<Extremes> column(static_cast<std::size_t>(curves));
    const qsizetype end = firstAtOrAfter(entries, std::nextafter(toMs, HUGE_VAL));
    qsizetype i = firstAtOrAfter(entries, fromMs);
    while (i < end) {
        // The column's entries run up to the first of a later column.
        const int at = columnOf(i);
        qsizetype low = i + 1;
        qsizetype high = end;
        while (low < high) {
            const qsizetype mid = low + (high - low) / 2;
            if (columnOf(mid) > at)
                high = mid;
            else
                low = mid + 1;
        }
        std::fill(column.begin(), column.end(), Extremes{});
        takeRange(entries, i, low, column);
        for (int c = 0; c < curves; ++c)
            addExtremes(entries, c, column[std::size_t(c)], out[std::size_t(c)]);
        i = low;
    }
    return out;
}

} // namespace wave_decimation
