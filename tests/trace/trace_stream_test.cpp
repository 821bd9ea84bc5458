// The trace streamed through a writer thread: the lines it writes are the
// lines the list shows, made on that thread, in order with the program's own
// lines, and in a trace file each with its date in front.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "trace/line_writer.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

namespace tarvik {
namespace {

struct CapturingSink final : LineSink {
    struct Text {
        std::mutex mutex;
        std::string written;
        std::string name = "capture";
    };
    explicit CapturingSink(std::shared_ptr<Text> text) : text(std::move(text)) {}
    SinkWrite Write(std::string_view bytes) override {
        std::lock_guard lock(text->mutex);
        text->written.append(bytes);
        return {bytes.size(), {}};
    }
    const std::string& Name() const override { return text->name; }
    std::shared_ptr<Text> text;
};

TEST(TraceStream, WritesTheListsLinesAndDatesThemForAFile) {
    TraceModel model([] { return TraceStamp("14:03:27", "2024-05-06"); });
    const auto plain = std::make_shared<CapturingSink::Text>();
    const auto dated = std::make_shared<CapturingSink::Text>();
    const auto none = [](uint64_t) { return std::string(); };
    LineWriter plainWriter(std::make_unique<CapturingSink>(plain), none,
                           LineWriter::kDefaultQueueBytes, EntryForm{model.TimeClock(), false});
    LineWriter datedWriter(std::make_unique<CapturingSink>(dated), none,
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

}  // namespace
}  // namespace tarvik
