// The debug trace's lines, kept in standard C++ so they are built and tested
// without a window; the window's list view shows this model.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "engine/ports.h"

namespace tarvik {

inline constexpr std::size_t kTraceLineLimit = 200;

// Time of day as "HH:MM:SS", 24-hour form whatever the locale says.
std::string SystemTimeOfDay();

class TraceModel : public TraceWriter {
public:
    using Clock = std::function<std::string()>;
    explicit TraceModel(Clock clock = SystemTimeOfDay);

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
    void Append(std::string line);
    void Trim();
    void SelectLast();

    Clock clock_;
    std::deque<std::string> lines_;
    int selectedRow_ = -1;
    uint64_t firstSerial_ = 0;
    uint64_t revision_ = 0;
};

}  // namespace tarvik
