#include "trace/line_writer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace tarvik {

// Owned jointly by the writer and its thread, so a thread still blocked in a
// write when the writer is gone (a pipe nobody reads) touches nothing freed.
struct LineWriter::Shared {
    std::unique_ptr<LineSink> sink;
    LostLinesText lostText;
    std::size_t queueLimit = 0;

    std::mutex mutex;
    std::condition_variable wake;     // the thread: work or stop
    std::condition_variable drained;  // Close: the queue is empty
    std::deque<std::string> queue;
    std::size_t queuedBytes = 0;
    uint64_t lostLines = 0;       // ever lost
    uint64_t lostUnreported = 0;  // lost since the last report
    bool stop = false;
    bool idle = true;
    bool failed = false;

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stop || !queue.empty(); });
            if (queue.empty()) break;  // stop, and nothing left
            std::string chunk = std::move(queue.front());
            queue.pop_front();
            queuedBytes -= chunk.size();
            idle = false;
            lock.unlock();
            const bool ok = failed || sink->Write(chunk);
            lock.lock();
            idle = true;
            if (!ok) failed = true;
            if (queue.empty()) drained.notify_all();
        }
        drained.notify_all();
    }
};

LineWriter::LineWriter(std::unique_ptr<LineSink> sink, LostLinesText lostText,
                       std::size_t queueBytes)
    : shared_(std::make_shared<Shared>()) {
    shared_->sink = std::move(sink);
    shared_->lostText = std::move(lostText);
    shared_->queueLimit = queueBytes;
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

LineWriter::~LineWriter() { Close(); }

void LineWriter::Add(std::string_view line) {
    if (closed_) return;
    if (batch_.empty()) batchStart_ = std::chrono::steady_clock::now();
    batch_.append(line);
    batch_.push_back('\n');
    ++batchLines_;
    MaybeFlushEarly();
}

void LineWriter::AddRaw(std::string_view text) {
    if (closed_ || text.empty()) return;
    if (batch_.empty()) batchStart_ = std::chrono::steady_clock::now();
    batch_.append(text);
    ++batchLines_;
    MaybeFlushEarly();
}

void LineWriter::MaybeFlushEarly() {
    if (batch_.size() >= kBatchBytes ||
        std::chrono::steady_clock::now() - batchStart_ >= kBatchAge) {
        Flush();
    }
}

void LineWriter::Flush() {
    if (batch_.empty()) return;
    {
        std::lock_guard lock(shared_->mutex);
        Shared& s = *shared_;
        if (s.queuedBytes + batch_.size() > s.queueLimit) {
            s.lostLines += batchLines_;
            s.lostUnreported += batchLines_;
        } else {
            if (s.lostUnreported > 0) {
                // Writing has room again: say how much the reader missed,
                // where it was missed.
                std::string report = s.lostText(s.lostUnreported);
                report.push_back('\n');
                s.queuedBytes += report.size();
                s.queue.push_back(std::move(report));
                s.lostUnreported = 0;
            }
            s.queuedBytes += batch_.size();
            s.queue.push_back(std::move(batch_));
        }
    }
    shared_->wake.notify_one();
    batch_ = std::string();
    batchLines_ = 0;
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
