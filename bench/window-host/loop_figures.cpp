#include "bench/window-host/loop_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvik::bench {

void TickGaps::Add(double gapMs) {
    const double late = std::max(0.0, gapMs - periodMs_);
    if (lateness_.empty()) {
        minGap_ = maxGap_ = gapMs;
    } else {
        minGap_ = std::min(minGap_, gapMs);
        maxGap_ = std::max(maxGap_, gapMs);
    }
    maxLate_ = std::max(maxLate_, late);
    lateness_.push_back(static_cast<float>(late));
}

double TickGaps::LateP99Ms() const {
    if (lateness_.empty()) return 0.0;
    std::vector<float> sorted = lateness_;
    // The smallest value that at least 99% of the ticks do not exceed.
    const std::size_t rank =
        static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(sorted.size()))) - 1;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(rank),
                     sorted.end());
    return sorted[rank];
}

uint64_t TickGaps::CountLateOver(double ms) const {
    return static_cast<uint64_t>(
        std::count_if(lateness_.begin(), lateness_.end(), [ms](float late) { return late > ms; }));
}

void PerSecondPeak::Add(double atMs) {
    const int64_t second = static_cast<int64_t>(std::floor(atMs / 1000.0));
    if (second != second_) {
        second_ = second;
        inSecond_ = 0;
    }
    ++inSecond_;
    ++total_;
    peak_ = std::max(peak_, inSecond_);
}

void Staleness::Observe(double nowMs, int64_t shown, int64_t truth) {
    const bool passed =
        looked_ && std::min(lastTruth_, truth) <= shown && shown <= std::max(lastTruth_, truth);
    if (!looked_ || shown == truth || passed) lastRight_ = nowMs;
    maxStale_ = std::max(maxStale_, nowMs - lastRight_);
    looked_ = true;
    lastTruth_ = truth;
}

void JsonLine::Key(std::string_view key) {
    if (!body_.empty()) body_ += ',';
    body_ += '"';
    body_ += key;
    body_ += "\":";
}

JsonLine& JsonLine::Add(std::string_view key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        body_ += "null";
        return *this;
    }
    char text[64];
    // Whole numbers print as such; others with three decimals (milliseconds
    // to the microsecond).
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        std::snprintf(text, sizeof text, "%.3f", value);
    }
    body_ += text;
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, uint64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view text) {
    Key(key);
    body_ += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            body_ += '\\';
            body_ += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            body_ += escaped;
        } else {
            body_ += c;
        }
    }
    body_ += '"';
    return *this;
}

}  // namespace tarvik::bench
