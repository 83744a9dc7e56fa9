#include "wave_decimation.h"

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
    std::vector<Extremes> column(static_cast<std::size_t>(curves));
    int current = -1;
    const qsizetype end = entries.size();
    for (qsizetype i = firstAtOrAfter(entries, fromMs); i < end; ++i) {
        const double t = entries.timeAt(i);
        if (t > toMs)
            break;
        const int at = std::min(columns - 1, int((t - fromMs) * columns / span));
        if (at != current) {
            for (int c = 0; c < curves; ++c) {
                addExtremes(entries, c, column[std::size_t(c)], out[std::size_t(c)]);
                column[std::size_t(c)] = Extremes{};
            }
            current = at;
        }
        for (int c = 0; c < curves; ++c) {
            const double v = entries.valueAt(i, c);
            if (std::isnan(v))
                continue;
            Extremes &e = column[std::size_t(c)];
            if (e.low < 0) {
                e = {i, i, v, v};
                continue;
            }
            if (v < e.lowValue) {
                e.low = i;
                e.lowValue = v;
            }
            if (v > e.highValue) {
                e.high = i;
                e.highValue = v;
            }
        }
    }
    for (int c = 0; c < curves; ++c)
        addExtremes(entries, c, column[std::size_t(c)], out[std::size_t(c)]);
    return out;
}

} // namespace wave_decimation
