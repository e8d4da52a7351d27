// What the benchmarks that set a figure beside its baseline share.
#pragma once

#include <benchmark/benchmark.h>

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

// A benchmark that decides a goal runs several times and prints the median
// of its repetitions with their spread (the smallest and the largest beside
// the mean and the standard deviation): BENCHMARK(BM_x)->Apply(WithSpread<7>).
template <int Repetitions>
void WithSpread(benchmark::internal::Benchmark* b)
{
    b->Repetitions(Repetitions)
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

} // namespace kelm::bench
