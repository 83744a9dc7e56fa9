#pragma once

#include "wave_store.h"

#include <vector>

// A recording's curves drawn over a time range in a given number of pixel
// columns, without copying the recording: per column and curve the smallest
// and the largest sample, in the order they were recorded, so that a spike of
// one sample stays visible at every zoom, and a curve gets at most two points
// per column.
//
// Rules:
//  - the range [fromMs, toMs] is split into `columns` columns of equal width;
//    an entry at time t belongs to column floor((t - fromMs) * columns /
//    (toMs - fromMs)), one at toMs to the last; entries outside are not read;
//  - in a column, the curve's minimum and maximum (the first of equal ones),
//    the earlier of the two first; one point when they are the same entry;
//  - a NaN sample is skipped; a column without a number gives no point;
//  - the entries' times never decrease (pushes are in time order), so the
//    range and each column's entries are found by binary search; a column
//    reads the kept extremes of the store's whole chunks in it (wave_store.h)
//    and only the entries around them: a week into 1000 columns reads about
//    a tenth of its entries.
namespace wave_decimation {

struct Point {
    double timeMs = 0;
    double value = 0;
};

// One list of points per curve (valuesPerEntry lists). No columns, an empty
// or reversed range: empty lists.
std::vector<std::vector<Point>> minMaxColumns(const WaveSnapshot &entries, double fromMs,
                                              double toMs, int columns);

// The index of the first entry at or after timeMs (size() when none).
qsizetype firstAtOrAfter(const WaveSnapshot &entries, double timeMs);

} // namespace wave_decimation
