#include "bench/load/latency_histogram.h"

#include <gtest/gtest.h>

namespace tarvik::bench {
namespace {

TEST(LatencyHistogram, EmptyHistogramGivesZero) {
    const LatencyHistogram histogram;
    EXPECT_EQ(histogram.Percentile(0.5), 0u);
    EXPECT_EQ(histogram.Max(), 0u);
}

TEST(LatencyHistogram, SmallLatenciesAreExact) {
    LatencyHistogram histogram;
    for (uint64_t us = 100; us >= 1; --us) histogram.Record(us);
    EXPECT_EQ(histogram.Count(), 100u);
    EXPECT_EQ(histogram.Percentile(0.50), 50u);
    EXPECT_EQ(histogram.Percentile(0.99), 99u);
    EXPECT_EQ(histogram.Percentile(1.0), 100u);
    EXPECT_EQ(histogram.Max(), 100u);
}

TEST(LatencyHistogram, LargeLatenciesAreWithinOneSixtyFourth) {
    LatencyHistogram histogram;
    for (int i = 0; i < 50; ++i) histogram.Record(100'000);
    for (int i = 0; i < 50; ++i) histogram.Record(3'000'000);
    const uint64_t median = histogram.Percentile(0.5);
    EXPECT_GE(median, 100'000u);
    EXPECT_LE(median, 100'000u + 100'000u / 64);
    EXPECT_EQ(histogram.Percentile(0.99), 3'000'000u);  // never above the largest seen
    EXPECT_EQ(histogram.Max(), 3'000'000u);
}

TEST(LatencyHistogram, HugeLatenciesDoNotOverflowTheBuckets) {
    LatencyHistogram histogram;
    histogram.Record(UINT64_MAX);
    histogram.Record(1);
    EXPECT_EQ(histogram.Percentile(0.5), 1u);
    EXPECT_EQ(histogram.Max(), UINT64_MAX);
}

}  // namespace
}  // namespace tarvik::bench
