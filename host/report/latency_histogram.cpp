#include "report/latency_histogram.h"

#include <algorithm>
#include <cmath>

namespace lumo::host {

namespace {
constexpr double kLowestMs = 1e-3;
}

int LatencyHistogram::bucketOf(double ms) {
    if (!(ms >= kLowestMs))  // NaN too.
        return 0;
    const double position = std::floor(std::log10(ms / kLowestMs) * kPerDecade);
    return static_cast<int>(std::min<double>(position + 1, kBuckets - 1));
}

double LatencyHistogram::upperEdgeMs(int bucket) {
    return kLowestMs * std::pow(10.0, static_cast<double>(bucket) / kPerDecade);
}

void LatencyHistogram::add(double ms) {
    ++m_counts[static_cast<size_t>(bucketOf(ms))];
    m_minMs = m_count == 0 ? ms : std::min(m_minMs, ms);
    m_maxMs = m_count == 0 ? ms : std::max(m_maxMs, ms);
    ++m_count;
}

double LatencyHistogram::percentileMs(double fraction) const {
    if (m_count == 0)
        return 0;
    const auto rank = static_cast<uint64_t>(
        std::max(1.0, std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(m_count))));
    if (rank == 1)
        return m_minMs;
    uint64_t seen = 0;
    // The overflow bucket has no upper edge: its values are told by the largest.
    for (int bucket = 0; bucket < kBuckets - 1; ++bucket) {
        seen += m_counts[static_cast<size_t>(bucket)];
        if (seen >= rank)
            return std::clamp(upperEdgeMs(bucket), m_minMs, m_maxMs);
    }
    return m_maxMs;
}

}  // namespace lumo::host
