// Writes text lines off the caller's thread. The caller gathers lines into a
// batch and hands the batch over at most once per pass of its event loop
// (Flush), so the writer thread is woken once per pass, never once per line.
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

class LineWriter {
public:
    static constexpr std::size_t kDefaultQueueBytes = 8 * 1024 * 1024;
    // A batch is handed over early once it holds this much, or once its
    // first line has waited this long, so lines reach their destination
    // promptly even when the event loop never rests.
    static constexpr std::size_t kBatchBytes = 256 * 1024;
    static constexpr std::chrono::milliseconds kBatchAge{20};

    LineWriter(std::unique_ptr<LineSink> sink, LostLinesText lostText,
               std::size_t queueBytes = kDefaultQueueBytes);
    // Waits at most `Close`'s grace for the queue to drain.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Adds one line (without its line end) to the current batch.
    void Add(std::string_view line);
    // Adds text that already ends in a line end.
    void AddRaw(std::string_view text);
    // Hands the batch to the writer thread, if it holds anything.
    void Flush();
    // Flushes, then waits until everything queued is written or `grace` has
    // passed; lines still queued then are abandoned. Adds are ignored after.
    void Close(std::chrono::milliseconds grace = std::chrono::milliseconds(1000));

    // Lines dropped so far because the queue was full.
    uint64_t LostLines() const;

private:
    struct Shared;
    void MaybeFlushEarly();

    std::shared_ptr<Shared> shared_;
    std::string batch_;
    uint64_t batchLines_ = 0;
    std::chrono::steady_clock::time_point batchStart_{};
    bool closed_ = false;
};

}  // namespace tarvik
