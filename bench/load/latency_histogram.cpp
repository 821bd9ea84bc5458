#include "bench/load/latency_histogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tarvik::bench {
namespace {

constexpr uint64_t kExactBelow = 2048;  // 2^11
constexpr int kExactBits = 11;
constexpr int kSubBits = 6;  // 64 buckets per power of two above
constexpr int kTopBit = 40;  // 2^40 us is twelve days
constexpr std::size_t kBucketCount = kExactBelow + (kTopBit - kExactBits + 1) * (1u << kSubBits);

std::size_t BucketOf(uint64_t micros) {
    if (micros < kExactBelow) return static_cast<std::size_t>(micros);
    micros = std::min<uint64_t>(micros, (uint64_t{1} << (kTopBit + 1)) - 1);
    const int top = std::bit_width(micros) - 1;  // >= kExactBits
    const uint64_t sub = (micros >> (top - kSubBits)) & ((1u << kSubBits) - 1);
    return kExactBelow + static_cast<std::size_t>(top - kExactBits) * (1u << kSubBits) + sub;
}

// Largest value that falls into `bucket`.
uint64_t BucketTop(std::size_t bucket) {
    if (bucket < kExactBelow) return bucket;
    const std::size_t above = bucket - kExactBelow;
    const int top = kExactBits + static_cast<int>(above >> kSubBits);
    const uint64_t sub = above & ((1u << kSubBits) - 1);
    return (((uint64_t{1} << kSubBits) + sub + 1) << (top - kSubBits)) - 1;
}

}  // namespace

LatencyHistogram::LatencyHistogram() : buckets_(kBucketCount, 0) {}

void LatencyHistogram::Record(uint64_t micros) {
    ++buckets_[BucketOf(micros)];
    ++count_;
    max_ = std::max(max_, micros);
}

uint64_t LatencyHistogram::Percentile(double fraction) const {
    if (count_ == 0) return 0;
    const double wanted = std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(count_));
    const uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(wanted));
    uint64_t seen = 0;
    for (std::size_t bucket = 0; bucket < buckets_.size(); ++bucket) {
        seen += buckets_[bucket];
        if (seen >= rank) return std::min(BucketTop(bucket), max_);
    }
    return max_;
}

}  // namespace tarvik::bench
