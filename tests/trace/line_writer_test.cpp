// The writer thread between the event loop and a slow or failing
// destination: lines in order and whole; when the destination stalls or
// fails, dropped and counted rather than held up, tried again at most once
// per retry interval, and the count told first once writing moves again.
#include "trace/line_writer.h"

#include <gtest/gtest.h>

#include "tests/trace/fake_sink.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;

std::string LostText(uint64_t count) { return "## " + std::to_string(count) + " lost"; }
std::string NoText(uint64_t) { return {}; }

TEST(LineWriter, StalledDestinationDropsAndCountsThenReportsWhereItResumes) {
    const auto state = std::make_shared<SinkState>();
    state->open = false;
    LineWriter writer(std::make_unique<FakeSink>(state), LostText, /*queueBytes=*/64);
    writer.Add("first");  // taken by the thread, which then blocks in its write
    writer.Flush();
    for (int i = 0; i < 10; ++i) {
        writer.Add("line " + std::to_string(i));  // 7 bytes each with its line end
        writer.Flush();
    }
    // 64 bytes of queue: lines 0..8 fit once "first" left the queue; the rest is lost.
    EXPECT_GE(writer.LostLines(), 1u);
    const uint64_t lost = writer.LostLines();
    state->Set(true, std::numeric_limits<std::size_t>::max());
    std::string expected = "first\n";
    for (int i = 0; i < 10 - static_cast<int>(lost); ++i)
        expected += "line " + std::to_string(i) + "\n";
    ASSERT_TRUE(state->WaitFor([&] { return state->written == expected; }));
    writer.Add("after");
    writer.Close(5s);
    EXPECT_EQ(state->Written(), expected + LostText(lost) + "\nafter\n");
}

TEST(LineWriter, LinesOfOnePassAreOneWriteAndNothingIsWrittenWithoutAFlush) {
    const auto state = std::make_shared<SinkState>();
    LineWriter writer(std::make_unique<FakeSink>(state), NoText);
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        writer.Add("x" + std::to_string(i));
        expected += "x" + std::to_string(i) + "\n";
    }
    {
        std::unique_lock lock(state->mutex);
        EXPECT_FALSE(state->changed.wait_for(lock, 50ms, [&] { return state->attempts > 0; }));
    }
    writer.Flush();
    writer.Close(5s);
    EXPECT_EQ(state->attempts, 1);
    EXPECT_EQ(state->written, expected);
}

TEST(LineWriter, CloseAbandonsWhatAStuckDestinationNeverTakes) {
    const auto state = std::make_shared<SinkState>();
    state->open = false;  // never opened while the writer lives
    auto writer = std::make_unique<LineWriter>(std::make_unique<FakeSink>(state), NoText);
    writer->Add("stuck");
    writer->Flush();
    writer->Add("queued");
    const auto started = std::chrono::steady_clock::now();
    writer->Close(200ms);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    writer.reset();
    // The thread still waits in its write; opening the gate lets it end.
    state->Set(true, std::numeric_limits<std::size_t>::max());
    state->WaitFor([&] { return state->attempts == 1; });
    EXPECT_EQ(state->Written(), "stuck\n");
}

TEST(LineWriter, FullDestinationCountsWholeLinesRetriesSparinglyAndTellsTheCountFirst) {
    const auto state = std::make_shared<SinkState>();
    SinkState& s = *state;
    s.room = 20;  // "line N\n" is 7 bytes: two whole lines and a cut one
    LineWriter writer(std::make_unique<FakeSink>(state), LostText, LineWriter::kDefaultQueueBytes,
                      {}, SinkState::Recovery(state, 200ms));
    const auto lines = [&](int from, int to) {
        for (int i = from; i <= to; ++i) writer.Add("line " + std::to_string(i));
        writer.Flush();
    };
    lines(1, 9);
    ASSERT_TRUE(s.WaitFor([&] { return s.reports.size() == 1; }));
    EXPECT_EQ(s.reports[0],
              "Trace output /var/log/t.txt failed: No space left on device; lines are counted "
              "until it recovers");
    // Within the retry interval nothing is tried: counted only.
    for (int batch = 0; batch < 5; ++batch) lines(10, 10);
    {
        std::lock_guard lock(s.mutex);
        EXPECT_EQ(s.attempts, 1);
        EXPECT_EQ(s.written, "line 1\nline 2\n") << "no cut line stays behind";
    }

    // Still full when it is tried again: no second report.
    ASSERT_TRUE(s.WaitFor([&] { return s.attempts >= 2; }));
    s.Set(true, 1 << 20);
    // Nothing new comes, yet the count is told once the destination takes it.
    ASSERT_TRUE(s.WaitFor([&] { return s.reports.size() == 2; }));
    EXPECT_EQ(s.reports[1], "Trace output /var/log/t.txt recovered: 12 lines lost");
    EXPECT_EQ(writer.LostLines(), 12u);
    lines(11, 11);
    writer.Close(5s);
    EXPECT_EQ(s.Written(), "line 1\nline 2\n## 12 lost\nline 11\n");
    EXPECT_EQ(s.reports.size(), 2u);
}

}  // namespace
}  // namespace tarvik::testing
