// A destination that fails (a full disk, a closed pipe) never ends a trace
// output: the writer counts what it could not write, tries again at most
// once per retry interval, tells the count first once a write succeeds, and
// says so on its report line when it fails and when it recovers.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "trace/line_writer.h"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// Takes bytes until its room is used up, then keeps the whole lines of what
// it took and fails, as a file on a full disk does.
struct RoomSink final : LineSink {
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t room = 0;
        std::string written;
        int attempts = 0;
        std::vector<std::string> reports;

        bool WaitFor(const std::function<bool()>& done) {
            std::unique_lock lock(mutex);
            return changed.wait_for(lock, 5s, done);
        }
        void SetRoom(std::size_t bytes) {
            std::lock_guard lock(mutex);
            room = bytes;
        }
    };
    explicit RoomSink(std::shared_ptr<State> state) : s(std::move(state)) {}

    SinkWrite Write(std::string_view bytes) override {
        std::lock_guard lock(s->mutex);
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

    std::shared_ptr<State> s;
    std::string name = "/var/log/t.txt";
};

struct Rig {
    std::shared_ptr<RoomSink::State> state = std::make_shared<RoomSink::State>();
    LineWriter writer{std::make_unique<RoomSink>(state),
                      [](uint64_t count) { return "## " + std::to_string(count) + " lost"; },
                      LineWriter::kDefaultQueueBytes,
                      {},
                      WriterRecovery{[s = state](const std::string& line) {
                                         std::lock_guard lock(s->mutex);
                                         s->reports.push_back(line);
                                         s->changed.notify_all();
                                     },
                                     200ms}};

    void Lines(int from, int to) {
        for (int i = from; i <= to; ++i) writer.Add("line " + std::to_string(i));
        writer.Flush();
    }
};

TEST(TraceRecovery, FullDestinationCountsWholeLinesRetriesSparinglyAndTellsTheCountFirst) {
    Rig rig;
    RoomSink::State& s = *rig.state;
    s.room = 20;  // "line N\n" is 7 bytes: two whole lines and a cut one
    rig.Lines(1, 9);
    ASSERT_TRUE(s.WaitFor([&] { return s.reports.size() == 1; }));
    EXPECT_EQ(s.reports[0],
              "Trace output /var/log/t.txt failed: No space left on device; lines are counted "
              "until it recovers");
    // Within the retry interval nothing is tried: counted only.
    for (int batch = 0; batch < 5; ++batch) rig.Lines(10, 10);
    {
        std::lock_guard lock(s.mutex);
        EXPECT_EQ(s.attempts, 1);
        EXPECT_EQ(s.written, "line 1\nline 2\n") << "no cut line stays behind";
    }

    // Still full when it is tried again: no second report.
    ASSERT_TRUE(s.WaitFor([&] { return s.attempts >= 2; }));
    s.SetRoom(1 << 20);
    // Nothing new comes, yet the count is told once the destination takes it.
    ASSERT_TRUE(s.WaitFor([&] { return s.reports.size() == 2; }));
    EXPECT_EQ(s.reports[1], "Trace output /var/log/t.txt recovered: 12 lines lost");
    EXPECT_EQ(rig.writer.LostLines(), 12u);
    rig.Lines(11, 11);
    rig.writer.Close(5s);
    std::lock_guard lock(s.mutex);
    EXPECT_EQ(s.written, "line 1\nline 2\n## 12 lost\nline 11\n");
    EXPECT_EQ(s.reports.size(), 2u);
}

}  // namespace
}  // namespace tarvik
