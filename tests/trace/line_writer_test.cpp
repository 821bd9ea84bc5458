// The writer thread between the event loop and a slow destination: lines in
// order, whole, and when the destination stalls, dropped and counted rather
// than held up, with the count told once writing moves again.
#include "trace/line_writer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace tarvik {
namespace {

// A destination that blocks every write until opened.
struct GateSink final : LineSink {
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        std::string written;
        int writes = 0;

        void Open() {
            std::lock_guard lock(mutex);
            open = true;
            changed.notify_all();
        }
        // Waits until `done` holds, at most 5 s; whether it did.
        bool WaitFor(const std::function<bool()>& done) {
            std::unique_lock lock(mutex);
            return changed.wait_for(lock, std::chrono::seconds(5), done);
        }
    };
    explicit GateSink(std::shared_ptr<State> state) : keep(std::move(state)), s(*keep) {}
    SinkWrite Write(std::string_view bytes) override {
        std::unique_lock lock(s.mutex);
        s.changed.wait(lock, [this] { return s.open; });
        s.written.append(bytes);
        ++s.writes;
        s.changed.notify_all();
        return {bytes.size(), {}};
    }
    const std::string& Name() const override { return name; }
    std::string name = "gate";
    std::shared_ptr<State> keep;  // a thread left blocked outlives the test's scope
    State& s;
};

TEST(LineWriter, StalledDestinationDropsAndCountsThenReportsWhereItResumes) {
    const auto shared = std::make_shared<GateSink::State>();
    GateSink::State& state = *shared;
    LineWriter writer(
        std::make_unique<GateSink>(shared),
        [](uint64_t count) { return "## " + std::to_string(count) + " lost"; },
        /*queueBytes=*/64);
    writer.Add("first");  // taken by the thread, which then blocks in its write
    writer.Flush();
    for (int i = 0; i < 10; ++i) {
        writer.Add("line " + std::to_string(i));  // 7 bytes each with its line end
        writer.Flush();
    }
    // 64 bytes of queue: lines 0..8 fit once "first" left the queue; the rest is lost.
    EXPECT_GE(writer.LostLines(), 1u);
    const uint64_t lost = writer.LostLines();
    state.Open();
    std::string expected = "first\n";
    for (int i = 0; i < 10 - static_cast<int>(lost); ++i)
        expected += "line " + std::to_string(i) + "\n";
    ASSERT_TRUE(state.WaitFor([&] { return state.written == expected; }));
    writer.Add("after");
    writer.Close(std::chrono::seconds(5));

    expected += "## " + std::to_string(lost) + " lost\nafter\n";
    EXPECT_EQ(state.written, expected);
}

TEST(LineWriter, LinesOfOnePassAreOneWriteAndNothingIsWrittenWithoutAFlush) {
    const auto shared = std::make_shared<GateSink::State>();
    GateSink::State& state = *shared;
    state.open = true;
    LineWriter writer(std::make_unique<GateSink>(shared), [](uint64_t) { return std::string(); });
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        writer.Add("x" + std::to_string(i));
        expected += "x" + std::to_string(i) + "\n";
    }
    {
        std::unique_lock lock(state.mutex);
        EXPECT_FALSE(state.changed.wait_for(lock, std::chrono::milliseconds(50),
                                            [&] { return state.writes > 0; }));
    }
    writer.Flush();
    writer.Close(std::chrono::seconds(5));
    EXPECT_EQ(state.writes, 1);
    EXPECT_EQ(state.written, expected);
}

TEST(LineWriter, CloseAbandonsWhatAStuckDestinationNeverTakes) {
    const auto shared = std::make_shared<GateSink::State>();  // never opened
    GateSink::State& state = *shared;
    auto writer = std::make_unique<LineWriter>(std::make_unique<GateSink>(shared),
                                               [](uint64_t) { return std::string(); });
    writer->Add("stuck");
    writer->Flush();
    writer->Add("queued");
    const auto started = std::chrono::steady_clock::now();
    writer->Close(std::chrono::milliseconds(200));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    writer.reset();
    // The thread still waits in its write; opening the gate lets it end.
    state.Open();
    state.WaitFor([&] { return state.writes == 1; });
    EXPECT_EQ(state.written, "stuck\n");
}

}  // namespace
}  // namespace tarvik
