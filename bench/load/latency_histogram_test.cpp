#include "bench/load/latency_histogram.h"

#include <gtest/gtest.h>

namespace tarvik::bench {
namespace {

TEST(LatencyHistogram, PercentilesAreExactWhenSmallAndWithinOneSixtyFourthWhenLarge) {
    LatencyHistogram histogram;
    EXPECT_EQ(histogram.Percentile(0.5), 0u);
    for (uint64_t us = 100; us >= 1; --us) histogram.Record(us);
    EXPECT_EQ(histogram.Percentile(0.99), 99u);
    for (int i = 0; i < 450; ++i) histogram.Record(100'000);
    for (int i = 0; i < 450; ++i) histogram.Record(3'000'000);
    EXPECT_EQ(histogram.Percentile(1.0), 3'000'000u);  // never above the largest seen
    histogram.Record(UINT64_MAX);                      // must not overflow a bucket
    EXPECT_EQ(histogram.Max(), UINT64_MAX);
    const uint64_t median = histogram.Percentile(0.5);
    EXPECT_GE(median, 100'000u);
    EXPECT_LE(median, 100'000u + 100'000u / 64);
}

}  // namespace
}  // namespace tarvik::bench
