// What the benchmarks that set a figure beside its baseline share.
#pragma once

#include <algorithm>
#include <vector>

namespace kelm::bench {

// The middle of the values (the mean of the two middle ones for an even
// count); 0 for none.
inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace kelm::bench
