#include "cli/duration_stats.h"

#include <algorithm>
#include <cmath>

namespace {

// Bucket i holds durations from kFloorMs * kRatio^i up to the next bucket;
// everything at or below 0.1 µs shares bucket 0.
constexpr double kFloorMs = 1e-4;
constexpr double kRatio = 1.01;

int bucketOf(double ms)
{
    if (!(ms > kFloorMs))
        return 0;
    return int(std::floor(std::log(ms / kFloorMs) / std::log(kRatio)));
}

double middleOf(int bucket)
{
    return kFloorMs * std::pow(kRatio, bucket + 0.5);
}

} // namespace

void DurationStats::add(double ms)
{
    ms = std::max(ms, 0.0);
    if (m_count == 0 || ms < m_min)
        m_min = ms;
    if (m_count == 0 || ms > m_max)
        m_max = ms;
    ++m_count;
    ++m_buckets[bucketOf(ms)];
}

double DurationStats::atRank(std::uint64_t rank) const
{
    std::uint64_t seen = 0;
    for (const auto& [bucket, n] : m_buckets) {
        seen += n;
        if (seen >= rank)
            return std::clamp(middleOf(bucket), m_min, m_max);
    }
    return m_max;
}

DurationSummary DurationStats::summary() const
{
    DurationSummary s;
    s.count = m_count;
    if (m_count == 0)
        return s;
    auto rankOf = [this](double p) {
        return std::max<std::uint64_t>(1, std::uint64_t(std::ceil(p * double(m_count))));
    };
    s.min = m_min;
    s.max = m_max;
    s.median = atRank(rankOf(0.5));
    s.p95 = atRank(rankOf(0.95));
    return s;
}

void DurationStats::merge(const DurationStats& other)
{
    if (other.m_count == 0)
        return;
    if (m_count == 0 || other.m_min < m_min)
        m_min = other.m_min;
    if (m_count == 0 || other.m_max > m_max)
        m_max = other.m_max;
    m_count += other.m_count;
    for (const auto& [bucket, n] : other.m_buckets)
        m_buckets[bucket] += n;
}

std::vector<std::pair<double, std::uint64_t>> DurationStats::spread() const
{
    std::vector<std::pair<double, std::uint64_t>> out;
    for (const auto& [bucket, n] : m_buckets)
        out.emplace_back(std::clamp(middleOf(bucket), m_min, m_max), n);
    return out;
}
