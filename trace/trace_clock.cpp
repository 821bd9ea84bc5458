#include "trace/trace_clock.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace tarvik {
namespace {

TraceStamp LocalStamp(std::time_t second) {
    // One thread shows a run of entries of the same second: the texts are
    // formatted when the second changes, not once a line. Callers get a copy,
    // so a later call on the thread cannot change what an earlier one gave.
    thread_local std::time_t shownSecond = -1;
    thread_local TraceStamp shown;
    if (second == shownSecond) return shown;
    std::tm local{};
    if (localtime_r(&second, &local) == nullptr) {
        shown = TraceStamp("00:00:00", "1970-01-01");
    } else {
        // Fixed forms, so traces from differently set-up machines compare.
        char time[32];
        char date[32];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                      local.tm_sec);
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
        shown = TraceStamp(time, date);
    }
    shownSecond = second;
    return shown;
}

}  // namespace

TraceStamp SystemTraceStamp() { return LocalStamp(std::time(nullptr)); }

struct TraceClock::Texts {
    std::function<TraceStamp()> read;
    std::mutex mutex;
    std::vector<TraceStamp> readings;  // indexed by the reading Now gave
};

TraceClock::TraceClock(TraceStamp (*read)()) {
    if (read != nullptr && read != &SystemTraceStamp) texts_ = TextReader(read);
}

std::shared_ptr<TraceClock::Texts> TraceClock::TextReader(std::function<TraceStamp()> read) {
    auto texts = std::make_shared<Texts>();
    texts->read = std::move(read);
    return texts;
}

std::time_t TraceClock::Now() const {
    if (!texts_) return std::time(nullptr);
    TraceStamp stamp = texts_->read();
    std::lock_guard lock(texts_->mutex);
    auto& readings = texts_->readings;
    if (readings.empty() || readings.back().time != stamp.time ||
        readings.back().date != stamp.date) {
        readings.push_back(std::move(stamp));
    }
    return static_cast<std::time_t>(readings.size() - 1);
}

TraceStamp TraceClock::Show(std::time_t reading) const {
    if (!texts_) return LocalStamp(reading);
    std::lock_guard lock(texts_->mutex);
    const auto& readings = texts_->readings;
    if (reading < 0 || static_cast<std::size_t>(reading) >= readings.size()) return {};
    return readings[static_cast<std::size_t>(reading)];
}

}  // namespace tarvik
