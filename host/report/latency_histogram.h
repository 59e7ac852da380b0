// LatencyHistogram: push-to-delivery latencies counted in fixed buckets, so that a run of any
// length holds the same few kilobytes and its own memory does not hide the plugin's. Buckets are
// a hundred per decade from 1 us to 1,000 s (2.3 % wide); percentiles come from the buckets and
// are exact to that width, clamped to the smallest and largest value recorded.
//
// Threading: a plain value; one thread at a time.
#pragma once

#include <array>
#include <cstdint>

namespace lumo::host {

class LatencyHistogram {
public:
    void add(double ms);
    uint64_t count() const { return m_count; }
    bool empty() const { return m_count == 0; }
    /** The value below which `fraction` (0..1) of the samples lie (nearest rank); 0 when empty. */
    double percentileMs(double fraction) const;
    double maxMs() const { return m_maxMs; }

private:
    static constexpr int kPerDecade = 100;
    static constexpr int kDecades = 9;                          // 1e-3 ms to 1e6 ms.
    static constexpr int kBuckets = kPerDecade * kDecades + 2;  // With under- and overflow.

    static int bucketOf(double ms);
    /** The upper edge of bucket `bucket`. */
    static double upperEdgeMs(int bucket);

    std::array<uint64_t, kBuckets> m_counts{};
    uint64_t m_count = 0;
    double m_minMs = 0;
    double m_maxMs = 0;
};

}  // namespace lumo::host
