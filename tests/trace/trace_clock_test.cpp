// The clock's texts: each reading keeps its own whatever is shown after it,
// on the same thread or another, and a writer's batch that spans seconds
// stamps every line with its own.
#include "trace/trace_clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace/line_writer.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

namespace tarvik {
namespace {

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

struct TextSink final : LineSink {
    explicit TextSink(std::shared_ptr<std::string> text) : text(std::move(text)) {}
    SinkWrite Write(std::string_view bytes) override {
        text->append(bytes);
        return {bytes.size(), {}};
    }
    const std::string& Name() const override { return name; }
    std::shared_ptr<std::string> text;
    std::string name = "text";
};

TEST(TraceClock, DatedBatchSpanningSecondsStampsEachLineWithItsOwn) {
    std::vector<TraceStamp> script{
        {"23:59:59", "2024-05-06"}, {"00:00:00", "2024-05-07"}, {"00:00:01", "2024-05-07"}};
    std::size_t next = 0;
    TraceModel model([&] { return script.at(std::min(next++, script.size() - 1)); });
    const auto text = std::make_shared<std::string>();
    LineWriter writer(
        std::make_unique<TextSink>(text), [](uint64_t) { return std::string(); },
        LineWriter::kDefaultQueueBytes, EntryForm{model.TimeClock(), true});
    TraceStream stream(writer);
    model.AddListener(stream);
    const MbapHeader header{1, 0, 0, 0};
    model.TraceRequest(header, "before midnight");
    model.TraceRequest(header, "at midnight");
    model.TraceRequest(header, "after");
    model.RemoveListener(stream);
    writer.Close(std::chrono::seconds(5));

    const std::string lines = *text;
    EXPECT_NE(lines.find("2024-05-06 23:59:59 "), std::string::npos) << lines;
    EXPECT_NE(lines.find("2024-05-07 00:00:00 "), std::string::npos) << lines;
    EXPECT_NE(lines.find("2024-05-07 00:00:01 "), std::string::npos) << lines;
    EXPECT_LT(lines.find("before midnight"), lines.find("2024-05-07")) << lines;
}

}  // namespace
}  // namespace tarvik
