// The debug trace: the product's record of traffic. The writers' entries,
// the 200 newest lines kept for the debug list with its selection rule, and
// every entry handed on as it is written to whoever streams the trace
// (standard output, a trace file). An entry is kept as its raw material and
// made into text only when a line is asked for, so lines that fall out of
// the 200 unseen never cost any text. Standard C++, so either face can own it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/trace_writer.h"
#include "trace/trace_clock.h"
#include "trace/trace_entry.h"

namespace tarvik {

inline constexpr std::size_t kTraceLineLimit = 200;

// Told of every entry as it is written, in order, and of every change.
class TraceListener {
public:
    virtual ~TraceListener() = default;
    // The views hold for the call only.
    virtual void TraceRecorded(const TraceEntry& entry) = 0;
    // After each writer call and each clear.
    virtual void TraceChanged() {}
};

class TraceModel : public TraceWriter {
public:
    using Clock = TraceClock;
    explicit TraceModel(Clock clock = {});

    // Listeners are told in the order they were added; each must outlive
    // its registration.
    void AddListener(TraceListener& listener);
    void RemoveListener(TraceListener& listener);

    void TraceRaw(std::string_view mark, std::string_view bytes) override;
    void TraceRequest(const MbapHeader& header, std::string_view text) override;
    void TraceAnswer(const MbapHeader& header, std::string_view text) override;
    void TraceAnswerHex(const MbapHeader& header, std::string_view text, std::string_view bytes,
                        HexForm form) override;
    // Counts as that many request lines, one written after the other.
    void TraceRegisterValues(const MbapHeader& header, int64_t firstNumber,
                             std::string_view values) override;

    // The menu's "&Clear Debug List".
    void Clear();

    std::size_t LineCount() const { return lineCount_; }
    // The text of a row, made now; `row` must be below LineCount().
    std::string Line(std::size_t row) const;
    // Its length, without making it.
    std::size_t LineLength(std::size_t row) const;
    // Columns [first, end) of it, making only those.
    std::string LinePart(std::size_t row, std::size_t first, std::size_t end) const;
    // Selected row, or -1 when none is selected.
    int SelectedRow() const { return selectedRow_; }

    // For a view that syncs at its own pace: every line ever appended has a
    // serial number; FirstSerial() is that of row 0. Revision() changes with
    // every write and every clear.
    uint64_t FirstSerial() const { return firstSerial_; }
    uint64_t Revision() const { return revision_; }

    // The clock the entries' readings come from, to show them elsewhere.
    const TraceClock& TimeClock() const { return clock_; }

private:
    struct Record {
        TraceKind kind = TraceKind::Blank;
        HexForm form = HexForm::Bytes;
        int32_t transaction = 0;
        int32_t protocol = 0;
        int64_t firstNumber = 0;
        std::time_t second = 0;
        std::size_t textSize = 0;
        std::string payload;  // the text, then the bytes
        uint64_t serial = 0;  // of its first line
        std::size_t lines = 0;
        TraceEntry View() const;
    };
    // Each kept record holds at least one of the 200 lines, and one more is
    // added before the oldest are trimmed.
    static constexpr std::size_t kRecordSlots = 256;
    static_assert(kRecordSlots > kTraceLineLimit + 1);

    void Append(const MbapHeader& header, TraceKind kind, std::string_view text,
                std::string_view bytes, HexForm form, int64_t firstNumber = 0);
    void AppendBlank();
    const Record& RecordAt(std::size_t slot) const {
        return records_[(oldest_ + slot) % kRecordSlots];
    }
    // The record holding row `row`, and the row's line within it.
    const Record& Find(std::size_t row, std::size_t& index) const;
    void Trim();
    void SelectLast();
    void Changed(uint64_t writes = 1);

    TraceClock clock_;
    std::vector<TraceListener*> listeners_;
    // A ring, so the slots and their payloads' storage are used again
    // instead of allocated for every entry.
    std::array<Record, kRecordSlots> records_;
    std::size_t oldest_ = 0;
    std::size_t recordCount_ = 0;
    std::size_t trimmedOfOldest_ = 0;  // lines of the oldest record already gone
    std::size_t lineCount_ = 0;
    int selectedRow_ = -1;
    uint64_t firstSerial_ = 0;
    uint64_t revision_ = 0;
};

}  // namespace tarvik
