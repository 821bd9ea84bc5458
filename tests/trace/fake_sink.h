// The one stand-in destination of the trace tests: a gate that holds every
// write until opened, and room that, once used up, keeps the whole lines of
// a write and fails it as a file on a full disk does. Its state is shared, so
// a test still sees it after the writer took the sink, and a writer thread
// left waiting outlives the test's scope.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "trace/line_writer.h"

namespace tarvik::testing {

struct SinkState {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    std::size_t room = std::numeric_limits<std::size_t>::max();
    std::string written;
    int attempts = 0;
    std::vector<std::string> reports;  // the writer's recovery lines

    void Set(bool openNow, std::size_t roomNow) {
        std::lock_guard lock(mutex);
        open = openNow;
        room = roomNow;
        changed.notify_all();
    }
    // Waits until `done` holds (under the lock), at most 5 s; whether it did.
    bool WaitFor(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), done);
    }
    std::string Written() {
        std::lock_guard lock(mutex);
        return written;
    }
    // Recovery that keeps the report lines here.
    static WriterRecovery Recovery(const std::shared_ptr<SinkState>& state,
                                   std::chrono::milliseconds retry) {
        return {[state](const std::string& line) {
                    std::lock_guard lock(state->mutex);
                    state->reports.push_back(line);
                    state->changed.notify_all();
                },
                retry};
    }
};

struct FakeSink final : LineSink {
    explicit FakeSink(std::shared_ptr<SinkState> state, std::string name = "/var/log/t.txt")
        : s(std::move(state)), name(std::move(name)) {}

    SinkWrite Write(std::string_view bytes) override {
        std::unique_lock lock(s->mutex);
        s->changed.wait(lock, [this] { return s->open; });
        ++s->attempts;
        s->changed.notify_all();
        if (bytes.size() <= s->room) {
            s->room -= bytes.size();
            s->written.append(bytes);
            return {bytes.size(), {}};
        }
        const std::size_t end = bytes.substr(0, s->room).rfind('\n');
        const std::size_t kept = end == std::string_view::npos ? 0 : end + 1;
        s->written.append(bytes.substr(0, kept));
        s->room -= kept;
        return {kept, "No space left on device"};
    }
    const std::string& Name() const override { return name; }

    std::shared_ptr<SinkState> s;
    std::string name;
};

}  // namespace tarvik::testing
