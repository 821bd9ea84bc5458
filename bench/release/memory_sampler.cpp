#include "bench/release/memory_sampler.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace tarvik::bench {

uint64_t ResidentKiB() {
    // statm is the cheapest look: two numbers in pages, no text to search.
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) return 0;
    unsigned long long size = 0, resident = 0;
    const int read = std::fscanf(file, "%llu %llu", &size, &resident);
    std::fclose(file);
    if (read != 2) return 0;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) / 1024;
}

uint64_t PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6));
    }
    return 0;
}

bool ResetPeakResident() {
    // "5" to clear_refs starts the high-water mark afresh.
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool done = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return done;
}

PeakSampler::PeakSampler(std::chrono::milliseconds period)
    : peak_(ResidentKiB()), thread_([this, period] {
          while (!stop_) {
              const uint64_t now = ResidentKiB();
              uint64_t seen = peak_.load();
              while (now > seen && !peak_.compare_exchange_weak(seen, now)) {}
              std::this_thread::sleep_for(period);
          }
      }) {}

PeakSampler::~PeakSampler() { StopKiB(); }

uint64_t PeakSampler::StopKiB() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return std::max(peak_.load(), ResidentKiB());
}

}  // namespace tarvik::bench
