#include "trace/trace_model.h"

#include <gtest/gtest.h>

#include <string>

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
    std::string expected = "14:03:27 -> Raw: ";
    for (std::size_t i = 0; i < 65536; ++i) {
        frame.push_back(static_cast<char>(i * 7));
        static const char digits[] = "0123456789ABCDEF";
        expected += {digits[(i * 7 >> 4) & 0xF], digits[(i * 7) & 0xF], ' '};
    }
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
        EXPECT_EQ(model.Line(0), std::string("14:03:27 <- ") + c.shown + " Read Holding Registers 0, count 2");
        EXPECT_EQ(model.Line(1), std::string("14:03:27 -> 0001 ") + c.shown + " y");
        EXPECT_EQ(model.Line(2), "");  // every answer is followed by an empty line
    }
}

TEST(TraceLines, EmptyPacketGivesAnEmptyLineWithoutTime) {
    int clockReads = 0;
    TraceModel model([&] { ++clockReads; return std::string("14:03:27"); });
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

TEST(TraceSelection, DumpAndAnswerSelectTheLastLineRequestLeavesIt) {
    TraceModel model = FixedClockModel();
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_EQ(model.SelectedRow(), -1);
    model.TraceRaw("<-", Packet(1, '\x01'));
    EXPECT_EQ(model.SelectedRow(), 1);
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_EQ(model.SelectedRow(), 1);
    model.TraceAnswer(MbapHeader{}, "a");
    EXPECT_EQ(model.SelectedRow(), 4);  // the empty line behind the answer
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

TEST(TraceClear, EmptiesTheListAndEveryChangeMovesTheRevision) {
    TraceModel model = FixedClockModel();
    const uint64_t start = model.Revision();
    model.TraceRaw("<-", Packet(1, '\x01'));
    const uint64_t afterRaw = model.Revision();
    model.TraceRequest(MbapHeader{}, "r");
    const uint64_t afterRequest = model.Revision();
    model.TraceAnswer(MbapHeader{}, "a");
    const uint64_t afterAnswer = model.Revision();
    model.Clear();
    EXPECT_NE(start, afterRaw);
    EXPECT_NE(afterRaw, afterRequest);
    EXPECT_NE(afterRequest, afterAnswer);
    EXPECT_NE(afterAnswer, model.Revision());
    EXPECT_EQ(model.LineCount(), 0u);
    EXPECT_EQ(model.SelectedRow(), -1);
    EXPECT_EQ(model.FirstSerial(), 4u);  // serials go on after a clear
}

}  // namespace
}  // namespace tarvik
