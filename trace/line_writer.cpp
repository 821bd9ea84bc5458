#include "trace/line_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tarvik {
namespace {

// A batch is a run of items, each a tag and its bytes.
constexpr char kTextTag = 'T';   // a 32-bit size, then that much text
constexpr char kEntryTag = 'E';  // an encoded trace entry
// Beyond this, the thread's text buffer is not kept for the next batch.
constexpr std::size_t kKeptTextBytes = 1024 * 1024;
// Emptied batches handed back for the caller's next ones, so a batch does
// not grow from nothing every pass.
constexpr std::size_t kSpareBatches = 4;
constexpr std::size_t kKeptBatchBytes = 2 * LineWriter::kBatchBytes;
// A batch's age is looked at every so many adds: reading the clock costs
// more than adding a line.
constexpr unsigned kAddsPerClockRead = 32;

// One line and its line end.
void AppendTextItem(std::string& batch, std::string_view line) {
    const auto size = static_cast<uint32_t>(line.size() + 1);
    batch.push_back(kTextTag);
    batch.append(reinterpret_cast<const char*>(&size), sizeof size);
    batch.append(line);
    batch.push_back('\n');
}

// The text of a batch; an item cut short (never written so) ends it.
void RenderBatch(std::string_view batch, const EntryForm& form, std::string& text) {
    // A batch is mostly one second's entries: its texts are fetched once.
    static const TraceStamp kNoStamp;
    std::optional<std::time_t> shownSecond;
    TraceStamp shown;
    while (!batch.empty()) {
        const char tag = batch.front();
        batch.remove_prefix(1);
        if (tag == kTextTag) {
            uint32_t size = 0;
            if (batch.size() < sizeof size) return;
            std::memcpy(&size, batch.data(), sizeof size);
            batch.remove_prefix(sizeof size);
            if (batch.size() < size) return;
            text.append(batch.substr(0, size));
            batch.remove_prefix(size);
        } else if (tag == kEntryTag) {
            TraceEntry entry;
            if (!DecodeEntry(batch, entry)) return;
            if (entry.kind != TraceKind::Blank && entry.second != shownSecond) {
                shown = form.clock.Show(entry.second);
                shownSecond = entry.second;
            }
            AppendEntryLines(entry, entry.kind == TraceKind::Blank ? kNoStamp : shown, form.dated,
                             text);
        } else {
            return;
        }
    }
}

}  // namespace

// Owned jointly by the writer and its thread, so a thread still blocked in a
// write when the writer is gone (a pipe nobody reads) touches nothing freed.
struct LineWriter::Shared {
    std::unique_ptr<LineSink> sink;
    LostLinesText lostText;
    std::size_t queueLimit = 0;
    EntryForm form;
    WriterRecovery recovery;

    std::mutex mutex;
    std::condition_variable wake;     // the thread: work, stop, or time to retry
    std::condition_variable drained;  // Close: the queue is empty
    struct Batch {
        std::string items;
        std::size_t cost = 0;
        uint64_t lines = 0;
        uint64_t lostBefore = 0;  // dropped for a full queue just before it
        bool reopen = false;      // reopen the destination, then write the items
    };
    std::deque<Batch> queue;
    std::vector<std::string> spare;
    std::size_t queuedBytes = 0;
    uint64_t lostLines = 0;       // ever lost
    uint64_t lostUnreported = 0;  // dropped since the last batch queued
    bool stop = false;
    bool idle = true;

    // The thread's own, touched by it alone.
    uint64_t unwritten = 0;  // lost and not yet told in the destination
    bool failing = false;
    std::chrono::steady_clock::time_point nextTry{};
    std::string text;

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto ready = [this] { return stop || !queue.empty(); };
            if (failing && unwritten > 0) {
                // Nothing new may come for a long while: the lost count is
                // told as soon as the destination takes it.
                wake.wait_until(lock, nextTry, ready);
            } else {
                wake.wait(lock, ready);
            }
            if (queue.empty() && stop) break;
            Batch batch;
            if (!queue.empty()) {
                batch = std::move(queue.front());
                queue.pop_front();
                queuedBytes -= batch.cost;
            }
            idle = false;
            lock.unlock();
            const uint64_t lost = Deliver(batch);
            lock.lock();
            lostLines += lost;
            batch.items.clear();
            if (spare.size() < kSpareBatches && batch.items.capacity() <= kKeptBatchBytes &&
                batch.items.capacity() > 0) {
                spare.push_back(std::move(batch.items));
            }
            idle = true;
            if (queue.empty()) drained.notify_all();
        }
        drained.notify_all();
    }

    // Writes a batch (or, with an empty one, only the lost count) unless a
    // failing destination is not due to be tried; the lines lost by it.
    uint64_t Deliver(const Batch& batch) {
        unwritten += batch.lostBefore;
        const auto now = std::chrono::steady_clock::now();
        if (batch.reopen) {
            std::string error = sink->Reopen();
            if (!error.empty()) {
                Failed(error, now);
                unwritten += batch.lines;
                return batch.lines;
            }
        }
        if (failing && now < nextTry) {
            unwritten += batch.lines;
            return batch.lines;
        }
        text.clear();
        if (unwritten > 0) {
            text = lostText(unwritten);
            text += '\n';
        }
        const std::size_t head = text.size();
        RenderBatch(batch.items, form, text);
        if (text.empty()) return 0;
        const SinkWrite written = sink->Write(text);
        const std::string_view rest = std::string_view(text).substr(written.kept);
        const auto restLines = static_cast<uint64_t>(std::count(rest.begin(), rest.end(), '\n'));
        if (text.capacity() > kKeptTextBytes) std::string().swap(text);
        if (written.error.empty()) {
            if (failing && recovery.report) {
                recovery.report("Trace output " + sink->Name() +
                                " recovered: " + std::to_string(unwritten) + " lines lost");
            }
            failing = false;
            unwritten = 0;
            return 0;
        }
        // The count told, or still to tell along with everything after it.
        const uint64_t lost =
            written.kept >= head && head > 0 ? restLines : restLines - (head > 0 ? 1 : 0);
        if (written.kept >= head && head > 0) unwritten = 0;
        unwritten += lost;
        Failed(written.error, now);
        return lost;
    }

    void Failed(const std::string& error, std::chrono::steady_clock::time_point now) {
        nextTry = now + recovery.retryInterval;
        if (failing) return;
        failing = true;
        if (recovery.report) {
            recovery.report("Trace output " + sink->Name() + " failed: " + error +
                            "; lines are counted until it recovers");
        }
    }
};

LineWriter::LineWriter(std::unique_ptr<LineSink> sink, LostLinesText lostText,
                       std::size_t queueBytes, EntryForm form, WriterRecovery recovery)
    : shared_(std::make_shared<Shared>()) {
    shared_->sink = std::move(sink);
    shared_->lostText = std::move(lostText);
    shared_->queueLimit = queueBytes;
    shared_->form = std::move(form);
    shared_->recovery = std::move(recovery);
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

LineWriter::~LineWriter() { Close(); }

void LineWriter::Add(std::string_view line) {
    if (closed_) return;
    if (batch_.empty()) batchStart_ = std::chrono::steady_clock::now();
    AppendTextItem(batch_, line);
    Added(line.size() + 1, 1);
}

void LineWriter::AddEntry(const TraceEntry& entry) {
    if (closed_) return;
    if (batch_.empty()) batchStart_ = std::chrono::steady_clock::now();
    const std::size_t before = batch_.size();
    batch_.push_back(kEntryTag);
    EncodeEntry(entry, batch_);
    Added(batch_.size() - before, entry.LineCount());
}

void LineWriter::Added(std::size_t cost, uint64_t lines) {
    batchCost_ += cost;
    batchLines_ += lines;
    if (batch_.size() >= kBatchBytes) {
        Flush();
    } else if (++addsSinceClock_ >= kAddsPerClockRead) {
        addsSinceClock_ = 0;
        if (std::chrono::steady_clock::now() - batchStart_ >= kBatchAge) Flush();
    }
}

void LineWriter::Flush() {
    if (batch_.empty()) return;
    {
        std::lock_guard lock(shared_->mutex);
        Shared& s = *shared_;
        if (s.queuedBytes + batchCost_ > s.queueLimit) {
            s.lostLines += batchLines_;
            s.lostUnreported += batchLines_;
        } else {
            // The count of lines dropped just before goes with this batch,
            // so the reader learns of them where they were missed.
            s.queuedBytes += batchCost_;
            s.queue.push_back(
                Shared::Batch{std::move(batch_), batchCost_, batchLines_, s.lostUnreported});
            s.lostUnreported = 0;
        }
        batch_.clear();  // a batch dropped keeps its storage
        if (batch_.capacity() == 0 && !s.spare.empty()) {
            batch_ = std::move(s.spare.back());
            s.spare.pop_back();
        }
    }
    shared_->wake.notify_one();
    batchCost_ = 0;
    batchLines_ = 0;
}

void LineWriter::Reopen(std::string_view firstLine) {
    if (closed_) return;
    Flush();
    Shared::Batch reopen;
    AppendTextItem(reopen.items, firstLine);
    reopen.cost = firstLine.size() + 1;
    reopen.lines = 1;
    reopen.reopen = true;
    {
        std::lock_guard lock(shared_->mutex);
        reopen.lostBefore = shared_->lostUnreported;
        shared_->lostUnreported = 0;
        shared_->queuedBytes += reopen.cost;
        shared_->queue.push_back(std::move(reopen));
    }
    shared_->wake.notify_one();
}

void LineWriter::Close(std::chrono::milliseconds grace) {
    if (closed_) return;
    Flush();
    closed_ = true;
    std::unique_lock lock(shared_->mutex);
    shared_->drained.wait_for(lock, grace,
                              [this] { return shared_->queue.empty() && shared_->idle; });
    // Whatever is left is abandoned; the thread ends after its current write.
    shared_->queue.clear();
    shared_->queuedBytes = 0;
    shared_->stop = true;
    shared_->wake.notify_one();
}

uint64_t LineWriter::LostLines() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->lostLines;
}

}  // namespace tarvik
