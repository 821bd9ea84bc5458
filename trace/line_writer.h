// Writes text lines off the caller's thread. The caller gathers lines and
// trace entries into a batch and hands the batch over at most once per pass
// of its event loop (Flush), so the writer thread is woken once per pass,
// never once per line; the thread makes the entries' text, not the caller.
// The queue between them is bounded: when the destination stalls (a pipe
// nobody reads), new lines are dropped and counted instead of piling up or
// delaying the caller. When it fails (a full disk, a closed pipe), the lines
// are counted too and the destination is tried again at most once per retry
// interval; it is never given up. Once writing resumes, a line says how many
// were lost, in the place they were lost.
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

// What one write reached.
struct SinkWrite {
    std::size_t kept = 0;  // bytes that stay written, ending at a line end
    std::string error;     // the system's reason for a failure; empty when all were written
};

class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes the bytes (whole lines). On a failure, what stays written ends
    // at a line end wherever the destination can take the rest back.
    virtual SinkWrite Write(std::string_view bytes) = 0;
    // Starts again at the destination's path (someone else rotated it);
    // empty, or why it cannot. Nothing to do by default.
    virtual std::string Reopen() { return {}; }
    // How reports name the destination: its path, or "standard output".
    virtual const std::string& Name() const = 0;
};

// Text of the line that reports `count` lost lines, without its line end.
using LostLinesText = std::function<std::string(uint64_t count)>;

// How a writer's trace entries become lines: the clock that shows their
// readings, and whether every line that is not empty starts with the date.
struct EntryForm {
    TraceClock clock;
    bool dated = false;
};

// How a writer tells of a failing destination: `report` is given one line
// (no line end) when the destination first fails and when it recovers,
// called on the writer's thread.
struct WriterRecovery {
    std::function<void(const std::string& line)> report;
    std::chrono::milliseconds retryInterval{1000};
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
               std::size_t queueBytes = kDefaultQueueBytes, EntryForm form = {},
               WriterRecovery recovery = {});
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
    // Hands the batch over, then has the destination reopened at its path,
    // `firstLine` the first line written there. Never dropped for a full queue.
    void Reopen(std::string_view firstLine);
    // Whether the batch holds anything not yet handed over.
    bool Pending() const { return !batch_.empty(); }
    // Flushes, then waits until everything queued is written or `grace` has
    // passed; lines still queued then are abandoned. Adds are ignored after.
    void Close(std::chrono::milliseconds grace = std::chrono::milliseconds(1000));

    // Lines lost so far: dropped for a full queue, or not written.
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
