// Writes text lines off the caller's thread. The caller gathers lines and
// trace entries into a batch and hands the batch over at most once per pass
// of its event loop (Flush), so the writer thread is woken once per pass,
// never once per line; the thread makes the entries' text, not the caller.
// The queue between them is bounded: when the destination stalls (a full
// disk, a pipe nobody reads), new lines are dropped and counted instead of
// piling up or delaying the caller, and once writing resumes a line says how
// many were lost.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "trace/trace_clock.h"
#include "trace/trace_entry.h"

namespace tarvik {

class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes the bytes (whole lines); false when the destination failed for
    // good, after which nothing more is written.
    virtual bool Write(std::string_view bytes) = 0;
};

// Text of the line that reports `count` lost lines, without its line end.
using LostLinesText = std::function<std::string(uint64_t count)>;

// How a writer's trace entries become lines: the clock that shows their
// readings, and whether every line that is not empty starts with the date.
struct EntryForm {
    TraceClock clock;
    bool dated = false;
};

class LineWriter {
public:
    static constexpr std::size_t kDefaultQueueBytes = 8 * 1024 * 1024;
    // A batch is handed over early once it holds this much, or once its
    // first line has waited this long, so lines reach their destination
    // promptly even when the event loop never rests.
    static constexpr std::size_t kBatchBytes = 256 * 1024;
    static constexpr std::chrono::milliseconds kBatchAge{20};

    // The queue holds at most `queueBytes` of lines (a trace entry counts
    // as its size in the batch, not its text's).
    LineWriter(std::unique_ptr<LineSink> sink, LostLinesText lostText,
               std::size_t queueBytes = kDefaultQueueBytes, EntryForm form = {});
    // Waits at most `Close`'s grace for the queue to drain.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Adds one line (without its line end) to the current batch.
    void Add(std::string_view line);
    // Adds the lines of a trace entry, made on the writer's thread.
    void AddEntry(const TraceEntry& entry);
    // Hands the batch to the writer thread, if it holds anything.
    void Flush();
    // Whether the batch holds anything not yet handed over.
    bool Pending() const { return !batch_.empty(); }
    // Flushes, then waits until everything queued is written or `grace` has
    // passed; lines still queued then are abandoned. Adds are ignored after.
    void Close(std::chrono::milliseconds grace = std::chrono::milliseconds(1000));

    // Lines dropped so far because the queue was full.
    uint64_t LostLines() const;

private:
    struct Shared;
    void Added(std::size_t cost, uint64_t lines);

    std::shared_ptr<Shared> shared_;
    std::string batch_;  // tagged items: text, or an encoded entry
    std::size_t batchCost_ = 0;
    uint64_t batchLines_ = 0;
    std::chrono::steady_clock::time_point batchStart_{};
    unsigned addsSinceClock_ = 0;  // the clock is read every so many adds
    bool closed_ = false;
};

}  // namespace tarvik
