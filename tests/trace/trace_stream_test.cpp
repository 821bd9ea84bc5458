// The trace streamed through a writer thread: the lines it writes are the
// lines the list shows, made on that thread, in order with the program's own
// lines, and in a trace file each with its date in front.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include "tests/trace/fake_sink.h"
#include "trace/trace_clock.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

namespace tarvik::testing {
namespace {

TEST(TraceStream, WritesTheListsLinesAndDatesThemForAFile) {
    TraceModel model([] { return TraceStamp("14:03:27", "2024-05-06"); });
    const auto plain = std::make_shared<SinkState>();
    const auto dated = std::make_shared<SinkState>();
    const auto none = [](uint64_t) { return std::string(); };
    LineWriter plainWriter(std::make_unique<FakeSink>(plain), none, LineWriter::kDefaultQueueBytes,
                           EntryForm{model.TimeClock(), false});
    LineWriter datedWriter(std::make_unique<FakeSink>(dated), none, LineWriter::kDefaultQueueBytes,
                           EntryForm{model.TimeClock(), true});
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
    plainWriter.Close(std::chrono::seconds(5));
    datedWriter.Close(std::chrono::seconds(5));

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
    LineWriter writer(
        std::make_unique<FakeSink>(text), [](uint64_t) { return std::string(); },
        LineWriter::kDefaultQueueBytes, EntryForm{model.TimeClock(), true});
    TraceStream stream(writer);
    model.AddListener(stream);
    for (const char* line : {"before midnight", "at midnight", "after"})
        model.TraceRequest(MbapHeader{1, 0, 0, 0}, line);
    model.RemoveListener(stream);
    writer.Close(std::chrono::seconds(5));
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

    EXPECT_EQ(a.time, Formatted(first, "%H:%M:%S"));
    EXPECT_EQ(a.date, Formatted(first, "%Y-%m-%d"));
    EXPECT_EQ(b.time, Formatted(second, "%H:%M:%S"));
    EXPECT_EQ(b.date, Formatted(second, "%Y-%m-%d"));
    EXPECT_EQ(c.time, a.time);
    EXPECT_EQ(fromOtherThread.time, Formatted(first + 1, "%H:%M:%S"));
}

}  // namespace
}  // namespace tarvik::testing
