// The debug trace: the product's record of traffic. The three writers' lines,
// the 200 newest kept for the debug list with its selection rule, and every
// line handed on as it is written to whoever streams the trace (standard
// output, a trace file). Standard C++, so either face can own it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ports.h"

namespace tarvik {

inline constexpr std::size_t kTraceLineLimit = 200;

// One reading of the clock: the time of day each timed line begins with, and
// its date, which a trace file adds because the list shows only the time.
struct TraceStamp {
    TraceStamp(std::string timeText = {}, std::string dateText = {})
        : time(std::move(timeText)), date(std::move(dateText)) {}
    std::string time;  // "HH:MM:SS", 24-hour form whatever the locale says
    std::string date;  // "YYYY-MM-DD"
};

// The local time now; the text is formatted once a second, not once a line.
TraceStamp SystemTraceStamp();

// Told of every line as it is appended, in order, and of every change.
class TraceListener {
public:
    virtual ~TraceListener() = default;
    // `date` is that of the clock reading the line's time came from; an empty
    // line carries the date of the line it follows or none.
    virtual void TraceLine(std::string_view date, std::string_view line) = 0;
    // After each writer call and each clear.
    virtual void TraceChanged() {}
};

class TraceModel : public TraceWriter {
public:
    using Clock = std::function<TraceStamp()>;
    explicit TraceModel(Clock clock = SystemTraceStamp);

    // Listeners are told in the order they were added; each must outlive
    // its registration.
    void AddListener(TraceListener& listener);
    void RemoveListener(TraceListener& listener);

    void TraceRaw(std::string_view mark, const Packet& packet) override;
    void TraceRequest(const MbapHeader& header, std::string_view text) override;
    void TraceAnswer(const MbapHeader& header, std::string_view text) override;

    // The menu's "&Clear Debug List".
    void Clear();

    std::size_t LineCount() const { return lines_.size(); }
    const std::string& Line(std::size_t row) const { return lines_[row]; }
    // Selected row, or -1 when none is selected.
    int SelectedRow() const { return selectedRow_; }

    // For a view that syncs at its own pace: every line ever appended has a
    // serial number; FirstSerial() is that of row 0. Revision() changes with
    // every write and every clear.
    uint64_t FirstSerial() const { return firstSerial_; }
    uint64_t Revision() const { return revision_; }

private:
    void Append(std::string line, std::string_view date);
    void Trim();
    void SelectLast();
    void Changed();

    Clock clock_;
    std::vector<TraceListener*> listeners_;
    std::deque<std::string> lines_;
    int selectedRow_ = -1;
    uint64_t firstSerial_ = 0;
    uint64_t revision_ = 0;
};

}  // namespace tarvik
