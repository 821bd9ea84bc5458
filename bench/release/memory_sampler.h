// Resident memory of this process: read now, or its peak over a stretch,
// sampled from a thread of its own so the loop under measure does no work
// for it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace tarvik::bench {

// Resident set of this process in KiB (/proc/self/statm), 0 if unreadable.
uint64_t ResidentKiB();

// The kernel's own high-water mark (VmHWM) in KiB, and a way to start it
// afresh from the current figure; the reset is false where the kernel
// refuses it.
uint64_t PeakResidentKiB();
bool ResetPeakResident();

class PeakSampler {
public:
    explicit PeakSampler(std::chrono::milliseconds period = std::chrono::milliseconds(2));
    ~PeakSampler();
    PeakSampler(const PeakSampler&) = delete;
    PeakSampler& operator=(const PeakSampler&) = delete;

    // Stops sampling; the peak seen from construction until now.
    uint64_t StopKiB();

private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> peak_{0};
    std::thread thread_;
};

}  // namespace tarvik::bench
