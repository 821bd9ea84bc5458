// The figures the window host keeps about the event loop, in plain C++ so
// they are tested without a window. Times are in milliseconds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik::bench {

// Ticks of a timer with a nominal period: how late each came after the one
// before. A late tick is a stretch in which the loop ran nothing else.
class TickGaps {
public:
    explicit TickGaps(double periodMs) : periodMs_(periodMs) {}

    void Add(double gapMs);
    void Reset() { *this = TickGaps(periodMs_); }

    uint64_t Count() const { return static_cast<uint64_t>(lateness_.size()); }
    double MinGapMs() const { return Count() ? minGap_ : 0.0; }
    double MaxGapMs() const { return Count() ? maxGap_ : 0.0; }
    // Lateness of a tick: its gap beyond the period, 0 when on time or early.
    double MaxLateMs() const { return Count() ? maxLate_ : 0.0; }
    // The lateness that 99% of the ticks stayed within.
    double LateP99Ms() const;
    uint64_t CountLateOver(double ms) const;

private:
    double periodMs_;
    std::vector<float> lateness_;
    double minGap_ = 0.0;
    double maxGap_ = 0.0;
    double maxLate_ = 0.0;
};

// Events by whole second since a start: the busiest second's count.
class PerSecondPeak {
public:
    void Add(double atMs);
    void Reset() { *this = PerSecondPeak(); }
    uint64_t Total() const { return total_; }
    uint64_t Peak() const { return peak_; }

private:
    int64_t second_ = -1;
    uint64_t inSecond_ = 0;
    uint64_t peak_ = 0;
    uint64_t total_ = 0;
};

// How far a counter's display lagged behind the counter: at each look, the
// time since the counter last had the value shown. A counter that went past
// the value shown since the previous look had it in between, so a display
// one frame behind a counter that climbs by thousands a second is current.
class Staleness {
public:
    void Observe(double nowMs, int64_t shown, int64_t truth);
    void Reset() { *this = Staleness(); }
    double MaxStaleMs() const { return maxStale_; }

private:
    bool looked_ = false;
    int64_t lastTruth_ = 0;
    double lastRight_ = 0.0;
    double maxStale_ = 0.0;
};

// One line of JSON: keys in the order added, numbers and escaped strings.
class JsonLine {
public:
    JsonLine& Add(std::string_view key, double value);
    JsonLine& Add(std::string_view key, uint64_t value);
    JsonLine& Add(std::string_view key, int value) { return Add(key, static_cast<double>(value)); }
    JsonLine& Add(std::string_view key, std::string_view text);
    std::string Text() const { return "{" + body_ + "}"; }

private:
    void Key(std::string_view key);
    std::string body_;
};

}  // namespace tarvik::bench
