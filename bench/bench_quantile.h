#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The q-quantile (0.5: the median) of timings, by rank: the value below which
// a fraction q of them lie. 0 for no timings.
inline double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
}
