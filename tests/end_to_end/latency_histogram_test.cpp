// The bench's latency histogram: percentiles within a bucket's width of the exact ones, whatever
// the number of samples, and never outside the values seen.
#include <gtest/gtest.h>

#include "report/latency_histogram.h"

namespace lumo::host {
namespace {

TEST(LatencyHistogramTest, PercentilesLieWithinABucketOfTheExactOnes) {
    LatencyHistogram histogram;
    EXPECT_EQ(0, histogram.percentileMs(0.5)) << "no samples";
    for (int repeat = 0; repeat < 100; ++repeat) {
        for (int i = 1; i <= 1000; ++i)
            histogram.add(i * 0.01);  // 0.01 ms to 10 ms
    }
    EXPECT_EQ(100'000u, histogram.count());
    EXPECT_NEAR(5.0, histogram.percentileMs(0.5), 5.0 * 0.024);
    EXPECT_NEAR(9.9, histogram.percentileMs(0.99), 9.9 * 0.024);
    EXPECT_DOUBLE_EQ(10.0, histogram.percentileMs(1.0)) << "clamped to the largest value seen";
    EXPECT_DOUBLE_EQ(0.01, histogram.percentileMs(0.0)) << "clamped to the smallest value seen";
}

TEST(LatencyHistogramTest, ValuesBeyondTheBucketsStillCount) {
    LatencyHistogram histogram;
    histogram.add(0.0);
    histogram.add(-1.0);
    histogram.add(5e7);
    EXPECT_EQ(3u, histogram.count());
    EXPECT_DOUBLE_EQ(5e7, histogram.percentileMs(1.0));
    EXPECT_DOUBLE_EQ(5e7, histogram.maxMs());
    EXPECT_LE(histogram.percentileMs(0.5), 1e-3);
}

}  // namespace
}  // namespace lumo::host
