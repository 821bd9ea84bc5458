#include "trace/trace_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "testkit/hex_bytes.h"

namespace tarvik {
namespace {

TraceModel FixedClockModel() {
    return TraceModel([] { return std::string("14:03:27"); });
}

// Fills the list to its limit with request lines "line 0" .. "line 199".
void FillToLimit(TraceModel& model) {
    for (std::size_t i = model.LineCount(); i < kTraceLineLimit; ++i) {
        model.TraceRequest(MbapHeader{}, "line " + std::to_string(i));
    }
}

TEST(TraceLines, RawDumpsShowEveryByteOnOneLine) {
    TraceModel model = FixedClockModel();
    model.TraceRaw("->", Packet("\x0A\x7F\x80\xFF", 4));
    Packet frame;
    for (std::size_t i = 0; i < 65536; ++i) frame.push_back(static_cast<char>(i * 7));
    const std::string expected = "14:03:27 -> Raw: " + testing::HexOf(frame) + " ";
    model.TraceRaw("->", frame);
    ASSERT_EQ(model.LineCount(), 2u);
    EXPECT_EQ(model.Line(0), "14:03:27 -> Raw: 0A 7F 80 FF ");
    EXPECT_EQ(model.Line(1), expected);
}

TEST(TraceLines, RequestAndAnswerLinesShowIdentifiersAsFourHexDigits) {
    const struct {
        int32_t value;
        const char* shown;
    } cases[] = {{65535, "FFFF"}, {26, "001A"}, {0, "0000"}, {0x12345, "2345"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TraceModel model = FixedClockModel();
        model.TraceRequest(MbapHeader{c.value, 0, 0, 0}, "Read Holding Registers 0, count 2");
        model.TraceAnswer(MbapHeader{1, c.value, 0, 0}, "y");
        ASSERT_EQ(model.LineCount(), 3u);
        EXPECT_EQ(model.Line(0),
                  std::string("14:03:27 <- ") + c.shown + " Read Holding Registers 0, count 2");
        EXPECT_EQ(model.Line(1), std::string("14:03:27 -> 0001 ") + c.shown + " y");
        EXPECT_EQ(model.Line(2), "");  // every answer is followed by an empty line
    }
}

TEST(TraceLines, EmptyPacketGivesAnEmptyLineWithoutTime) {
    int clockReads = 0;
    TraceModel model([&] {
        ++clockReads;
        return std::string("14:03:27");
    });
    model.TraceRaw("<-", Packet());
    ASSERT_EQ(model.LineCount(), 1u);
    EXPECT_EQ(model.Line(0), "");
    EXPECT_EQ(model.SelectedRow(), 0);
    model.TraceAnswer(MbapHeader{}, "a");  // one dated line: one reading of the clock
    EXPECT_EQ(clockReads, 1);
}

TEST(TraceLimit, EachWriterDropsTheOldestBeyondTwoHundred) {
    TraceModel model = FixedClockModel();
    FillToLimit(model);
    model.TraceRequest(MbapHeader{}, "req");
    EXPECT_EQ(model.LineCount(), kTraceLineLimit);
    EXPECT_EQ(model.Line(0), "14:03:27 <- 0000 line 1");

    model.TraceAnswer(MbapHeader{}, "ans");  // two lines in, two oldest out
    EXPECT_EQ(model.LineCount(), kTraceLineLimit);
    EXPECT_EQ(model.Line(0), "14:03:27 <- 0000 line 3");
    EXPECT_EQ(model.Line(kTraceLineLimit - 2), "14:03:27 -> 0000 0000 ans");

    model.TraceRaw("<-", Packet());
    EXPECT_EQ(model.LineCount(), kTraceLineLimit);
    EXPECT_EQ(model.Line(0), "14:03:27 <- 0000 line 4");
    EXPECT_EQ(model.FirstSerial(), 4u);
}

// Every change also moves the revision, which tells the list to sync.
TEST(TraceSelection, DumpAndAnswerSelectTheLastLineRequestLeavesItClearEmpties) {
    TraceModel model = FixedClockModel();
    uint64_t seen = model.Revision();
    const auto moved = [&] {
        const uint64_t before = std::exchange(seen, model.Revision());
        return before != seen;
    };
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_EQ(model.SelectedRow(), -1);
    EXPECT_TRUE(moved());
    model.TraceRaw("<-", Packet(1, '\x01'));
    EXPECT_EQ(model.SelectedRow(), 1);
    EXPECT_TRUE(moved());
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_EQ(model.SelectedRow(), 1);
    model.TraceAnswer(MbapHeader{}, "a");
    EXPECT_EQ(model.SelectedRow(), 4);  // the empty line behind the answer
    EXPECT_TRUE(moved());
    model.Clear();
    EXPECT_TRUE(moved());
    EXPECT_EQ(model.LineCount(), 0u);
    EXPECT_EQ(model.SelectedRow(), -1);
    EXPECT_EQ(model.FirstSerial(), 5u);  // serials go on after a clear
}

TEST(TraceSelection, SelectionFollowsItsLineUpAndGoesWithIt) {
    TraceModel model = FixedClockModel();
    model.TraceRequest(MbapHeader{}, "first");
    model.TraceRaw("<-", Packet(1, '\xAB'));
    FillToLimit(model);
    ASSERT_EQ(model.SelectedRow(), 1);

    model.TraceRequest(MbapHeader{}, "more");
    EXPECT_EQ(model.SelectedRow(), 0);
    EXPECT_EQ(model.Line(0), "14:03:27 <- Raw: AB ");

    model.TraceRequest(MbapHeader{}, "more");  // the selected line itself is trimmed
    EXPECT_EQ(model.SelectedRow(), -1);
    model.TraceRaw("<-", Packet(1, '\x01'));
    EXPECT_EQ(model.SelectedRow(), static_cast<int>(kTraceLineLimit) - 1);
}

// Hands the writes that carry raw material to the model as finished texts,
// one line per call: the trace as it would be if every line were written
// on its own.
struct LineByLine : TraceWriter {
    explicit LineByLine(TraceModel& m) : model(m) {}
    void TraceRaw(std::string_view mark, std::string_view packet) override {
        model.TraceRaw(mark, packet);
    }
    void TraceRequest(const MbapHeader& h, std::string_view text) override {
        model.TraceRequest(h, text);
    }
    void TraceAnswer(const MbapHeader& h, std::string_view text) override {
        model.TraceAnswer(h, text);
    }
    TraceModel& model;
};

TEST(TraceRecords, ShowTheLinesTheSelectionAndTheSerialsOfLineByLineWrites) {
    TraceModel kept = FixedClockModel();
    TraceModel texts = FixedClockModel();
    LineByLine lineByLine(texts);
    const auto values = [](std::size_t count) {
        Packet bytes;
        for (std::size_t i = 0; i < count; ++i)
            AppendWord(bytes, static_cast<int32_t>(i * 4099 % 65536));
        return bytes;
    };
    const MbapHeader header{0x1A2B, 0x0C, 0, 0};
    const struct Step {
        const char* what;
        std::function<void(TraceWriter&)> write;
    } steps[] = {
        {"run of 3", [&](TraceWriter& w) { w.TraceRegisterValues(header, 40007, values(3)); }},
        {"answer bytes",
         [&](TraceWriter& w) {
             w.TraceAnswerHex(header, "R 1, data ", Packet("\x04\x00\xFF\x10\x01", 5),
                              HexForm::Bytes);
         }},
        {"answer words",
         [&](TraceWriter& w) {
             w.TraceAnswerHex(header, "I 9, data ", values(5), HexForm::Words);
         }},
        {"empty raw", [&](TraceWriter& w) { w.TraceRaw("<-", Packet()); }},
        {"run past the limit",
         [&](TraceWriter& w) { w.TraceRegisterValues(header, 40000, values(230)); }},
        {"raw", [&](TraceWriter& w) { w.TraceRaw("->", values(40)); }},
        {"run of 150", [&](TraceWriter& w) { w.TraceRegisterValues(header, 41890, values(150)); }},
        {"request",
         [&](TraceWriter& w) { w.TraceRequest(header, "Write Holding Registers 0, length 2"); }},
        {"run of 120, over a selected line",
         [&](TraceWriter& w) { w.TraceRegisterValues(header, 40100, values(120)); }},
        {"answer", [&](TraceWriter& w) { w.TraceAnswer(header, "Write single coil response"); }},
        {"clear",
         [&](TraceWriter&) {
             kept.Clear();
             texts.Clear();
         }},
        {"run after a clear",
         [&](TraceWriter& w) { w.TraceRegisterValues(header, 40000, values(2)); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.write(kept);
        step.write(lineByLine);
        ASSERT_EQ(kept.LineCount(), texts.LineCount());
        EXPECT_EQ(kept.SelectedRow(), texts.SelectedRow());
        EXPECT_EQ(kept.FirstSerial(), texts.FirstSerial());
        EXPECT_EQ(kept.Revision(), texts.Revision());
        for (std::size_t row = 0; row < kept.LineCount(); ++row) {
            const std::string line = texts.Line(row);
            ASSERT_EQ(kept.Line(row), line) << row;
            ASSERT_EQ(kept.LineLength(row), line.size()) << row;
            // What the list paints of a row scrolled sideways.
            for (const auto& [first, end] :
                 {std::pair<std::size_t, std::size_t>{0, 5},
                  {9, 31},
                  {30, 33},
                  {line.size() > 7 ? line.size() - 7 : 0, line.size() + 4}}) {
                ASSERT_EQ(kept.LinePart(row, first, end),
                          first < line.size() ? line.substr(first, end - first) : "")
                    << row << " [" << first << ", " << end << ")";
            }
        }
    }
    EXPECT_EQ(kept.Line(0), "14:03:27 <- 1A2B Registervalue 40000, value 0000");
    EXPECT_EQ(kept.Line(1), "14:03:27 <- 1A2B Registervalue 40001, value 1003");
}

}  // namespace
}  // namespace tarvik
