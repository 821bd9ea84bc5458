// Latencies in microseconds, kept as counts per bucket so a run of any
// length needs the same small memory: exact below 2048 us, within 1/64 of
// the value above.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvik::bench {

class LatencyHistogram {
public:
    LatencyHistogram();

    void Record(uint64_t micros);

    uint64_t Count() const { return count_; }
    uint64_t Max() const { return max_; }

    // The smallest bucket value that at least `fraction` (0..1] of the
    // samples do not exceed; 0 when nothing was recorded. Never above Max().
    uint64_t Percentile(double fraction) const;

private:
    std::vector<uint64_t> buckets_;
    uint64_t count_ = 0;
    uint64_t max_ = 0;
};

}  // namespace tarvik::bench
