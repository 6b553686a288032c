#pragma once
// Minimum, median, 95th percentile and maximum of a series of durations, in
// constant memory per distinct duration: the removal wait may poll a fast
// reader millions of times in a long run. Durations fall into buckets 1 %
// wide; minimum and maximum are exact, the percentiles within 1 % (and exact
// whenever every duration of the series is the same).

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

struct DurationSummary
{
    std::uint64_t count = 0;
    double min = 0, median = 0, p95 = 0, max = 0; // milliseconds
};

class DurationStats
{
public:
    void add(double ms);
    std::uint64_t count() const { return m_count; }
    DurationSummary summary() const;
    // Adds every duration of `other`, as if each had been added here.
    void merge(const DurationStats& other);
    // The durations as (bucket middle in ms, count), shortest first.
    std::vector<std::pair<double, std::uint64_t>> spread() const;

private:
    // The duration whose rank is `rank` (1 to count), nearest-rank rule.
    double atRank(std::uint64_t rank) const;

    std::map<int, std::uint64_t> m_buckets;
    std::uint64_t m_count = 0;
    double m_min = 0, m_max = 0;
};
