// The writer thread between the event loop and a slow or failing
// destination: lines in order and whole; when the destination stalls or
// fails, dropped and counted rather than held up, tried again at most once
// per retry interval, and the count told first once writing moves again.
// Then the trace streamed through it, and the clock that dates its lines.
#include "trace/line_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/trace/fake_sink.h"
#include "trace/trace_clock.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

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

// The trace streamed through a writer thread: the lines it writes are the
// lines the list shows, made on that thread, in order with the program's own
// lines, and in a trace file each with its date in front.
TEST(TraceStream, WritesTheListsLinesAndDatesThemForAFile) {
    TraceModel model([] { return TraceStamp("14:03:27", "2024-05-06"); });
    const auto plain = std::make_shared<SinkState>();
    const auto dated = std::make_shared<SinkState>();
    LineWriter plainWriter(std::make_unique<FakeSink>(plain), NoText,
                           LineWriter::kDefaultQueueBytes, EntryForm{model.TimeClock(), false});
    LineWriter datedWriter(std::make_unique<FakeSink>(dated), NoText,
                           LineWriter::kDefaultQueueBytes, EntryForm{model.TimeClock(), true});
    TraceStream plainStream(plainWriter);
    TraceStream datedStream(datedWriter);
    model.AddListener(plainStream);
    model.AddListener(datedStream);

    const MbapHeader header{7, 0, 0, 0};
    model.TraceRaw("<-", Packet("\x00\x07\x00\x00\x00\x06\x01\x10", 8));
    model.TraceRequest(header, "Write Holding Registers 3, length 2");
    model.TraceRegisterValues(header, 40003, Packet("\x12\x34\xAB\xCD", 4));
    plainWriter.Add("## a notice");
    model.TraceAnswerHex(header, "Read Input Registers 3, data ", Packet("\x00\x01\xFF\xFE", 4),
                         HexForm::Words);
    model.TraceRaw("->", Packet());
    model.RemoveListener(plainStream);
    model.RemoveListener(datedStream);
    plainWriter.Close(5s);
    datedWriter.Close(5s);

    std::string expectedPlain;
    std::string expectedDated;
    for (std::size_t row = 0; row < model.LineCount(); ++row) {
        const std::string line = model.Line(row);
        expectedPlain += line + "\n";
        expectedDated += (line.empty() ? line : "2024-05-06 " + line) + "\n";
        if (row == 3) expectedPlain += "## a notice\n";
    }
    EXPECT_EQ(plain->written, expectedPlain);
    EXPECT_EQ(dated->written, expectedDated);
    EXPECT_EQ(model.Line(3), "14:03:27 <- 0007 Registervalue 40004, value ABCD");
    EXPECT_EQ(model.Line(4), "14:03:27 -> 0007 0000 Read Input Registers 3, data 0001FFFE");
}

// A writer's batch that spans midnight stamps every line with its own date.
TEST(TraceStream, DatedBatchSpanningSecondsStampsEachLineWithItsOwn) {
    std::vector<TraceStamp> script{
        {"23:59:59", "2024-05-06"}, {"00:00:00", "2024-05-07"}, {"00:00:01", "2024-05-07"}};
    std::size_t next = 0;
    TraceModel model([&] { return script.at(std::min(next++, script.size() - 1)); });
    const auto text = std::make_shared<SinkState>();
    LineWriter writer(std::make_unique<FakeSink>(text), NoText, LineWriter::kDefaultQueueBytes,
                      EntryForm{model.TimeClock(), true});
    TraceStream stream(writer);
    model.AddListener(stream);
    for (const char* line : {"before midnight", "at midnight", "after"})
        model.TraceRequest(MbapHeader{1, 0, 0, 0}, line);
    model.RemoveListener(stream);
    writer.Close(5s);
    EXPECT_EQ(text->written,
              "2024-05-06 23:59:59 <- 0001 before midnight\n"
              "2024-05-07 00:00:00 <- 0001 at midnight\n"
              "2024-05-07 00:00:01 <- 0001 after\n");
}

// The clock's texts: each reading keeps its own whatever is shown after it,
// on the same thread or another.
std::string Formatted(std::time_t second, const char* form) {
    std::tm local{};
    localtime_r(&second, &local);
    char text[32];
    std::strftime(text, sizeof text, form, &local);
    return text;
}

TEST(TraceClock, SystemReadingsShownOneAfterAnotherKeepTheirOwnTexts) {
    const TraceClock clock;
    // A day and a second apart: every field of both texts differs.
    const std::time_t first = 1'700'000'000;
    const std::time_t second = first + 86'400 + 3'661;
    const TraceStamp& a = clock.Show(first);
    const TraceStamp& b = clock.Show(second);
    TraceStamp fromOtherThread;
    std::thread([&] { fromOtherThread = clock.Show(first + 1); }).join();
    const TraceStamp& c = clock.Show(first);

    EXPECT_EQ(a.date + " " + a.time, Formatted(first, "%Y-%m-%d %H:%M:%S"));
    EXPECT_EQ(b.date + " " + b.time, Formatted(second, "%Y-%m-%d %H:%M:%S"));
    EXPECT_EQ(c.time, a.time);
    EXPECT_EQ(fromOtherThread.time, Formatted(first + 1, "%H:%M:%S"));
}

}  // namespace
}  // namespace tarvik::testing
