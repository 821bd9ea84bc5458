#include "ui/trace_model.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace tarvik {
namespace {

TraceModel FixedClockModel() {
    return TraceModel([] { return std::string("14:03:27"); });
}

Packet Bytes(std::initializer_list<int> values) {
    Packet out;
    for (const int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// Fills the list to its limit with request lines "line 0" .. "line 199".
void FillToLimit(TraceModel& model) {
    for (std::size_t i = model.LineCount(); i < kTraceLineLimit; ++i) {
        model.TraceRequest(MbapHeader{}, "line " + std::to_string(i));
    }
}

TEST(TraceLines, RawDumpOfAReceivedRequest) {
    TraceModel model = FixedClockModel();
    model.TraceRaw("<-", Bytes({0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x11, 0x03, 0x00, 0x00, 0x00, 0x02}));
    ASSERT_EQ(model.LineCount(), 1u);
    EXPECT_EQ(model.Line(0), "14:03:27 <- Raw: 00 01 00 00 00 06 11 03 00 00 00 02 ");
}

TEST(TraceLines, RawDumpOfAnAnswerShowsEveryByteValue) {
    TraceModel model = FixedClockModel();
    model.TraceRaw("->", Bytes({0x00, 0x0A, 0x7F, 0x80, 0xFF}));
    EXPECT_EQ(model.Line(0), "14:03:27 -> Raw: 00 0A 7F 80 FF ");
}

TEST(TraceLines, LongFramesAreDumpedOnOneLine) {
    for (const std::size_t size : {263u, 65536u}) {
        TraceModel model = FixedClockModel();
        Packet frame;
        std::string expected = "14:03:27 -> Raw: ";
        for (std::size_t i = 0; i < size; ++i) {
            frame.push_back(static_cast<char>(i * 7));
            static const char digits[] = "0123456789ABCDEF";
            expected += {digits[(i * 7 >> 4) & 0xF], digits[(i * 7) & 0xF], ' '};
        }
        model.TraceRaw("->", frame);
        ASSERT_EQ(model.LineCount(), 1u);
        EXPECT_EQ(model.Line(0), expected);
    }
}

TEST(TraceLines, RequestAndAnswerLinesOfOneRead) {
    TraceModel model = FixedClockModel();
    const MbapHeader header{1, 0, 6, 0x11};
    model.TraceRequest(header, "Read Holding Registers 0, count 2");
    model.TraceAnswer(header, "Answer 2 registers");
    ASSERT_EQ(model.LineCount(), 3u);
    EXPECT_EQ(model.Line(0), "14:03:27 <- 0001 Read Holding Registers 0, count 2");
    EXPECT_EQ(model.Line(1), "14:03:27 -> 0001 0000 Answer 2 registers");
    EXPECT_EQ(model.Line(2), "");
}

TEST(TraceLines, IdentifiersShowAsFourHexDigits) {
    const struct {
        int32_t value;
        const char* shown;
    } cases[] = {{65535, "FFFF"}, {4096, "1000"}, {10, "000A"}, {26, "001A"}, {0, "0000"},
                 {0x12345, "2345"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TraceModel model = FixedClockModel();
        model.TraceRequest(MbapHeader{c.value, 0, 0, 0}, "x");
        model.TraceAnswer(MbapHeader{1, c.value, 0, 0}, "y");
        EXPECT_EQ(model.Line(0), std::string("14:03:27 <- ") + c.shown + " x");
        EXPECT_EQ(model.Line(1), std::string("14:03:27 -> 0001 ") + c.shown + " y");
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

TEST(TraceLines, SystemTimeIsTwentyFourHourClock) {
    const std::string time = SystemTimeOfDay();
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(time, parts, std::regex(R"((\d\d):(\d\d):(\d\d))"))) << time;
    EXPECT_LT(std::stoi(parts[1]), 24);
    EXPECT_LT(std::stoi(parts[2]), 60);
    EXPECT_LT(std::stoi(parts[3]), 61);
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
    model.TraceRaw("<-", Bytes({1}));
    EXPECT_EQ(model.SelectedRow(), 1);
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_EQ(model.SelectedRow(), 1);
    model.TraceAnswer(MbapHeader{}, "a");
    EXPECT_EQ(model.SelectedRow(), 4);  // the empty line behind the answer
    model.TraceRaw("->", Bytes({1}));
    EXPECT_EQ(model.SelectedRow(), 5);
}

TEST(TraceSelection, SelectionFollowsItsLineUpAndGoesWithIt) {
    TraceModel model = FixedClockModel();
    model.TraceRequest(MbapHeader{}, "first");
    model.TraceRaw("<-", Bytes({0xAB}));
    FillToLimit(model);
    ASSERT_EQ(model.SelectedRow(), 1);

    model.TraceRequest(MbapHeader{}, "more");
    EXPECT_EQ(model.SelectedRow(), 0);
    EXPECT_EQ(model.Line(0), "14:03:27 <- Raw: AB ");

    model.TraceRequest(MbapHeader{}, "more");  // the selected line itself is trimmed
    EXPECT_EQ(model.SelectedRow(), -1);
    model.TraceRaw("<-", Bytes({1}));
    EXPECT_EQ(model.SelectedRow(), static_cast<int>(kTraceLineLimit) - 1);
}

TEST(TraceClear, EmptiesTheListAndTheNextLineIsTheFirst) {
    TraceModel model = FixedClockModel();
    model.TraceRaw("<-", Bytes({1}));
    model.TraceAnswer(MbapHeader{}, "a");
    const uint64_t revision = model.Revision();

    model.Clear();
    EXPECT_EQ(model.LineCount(), 0u);
    EXPECT_EQ(model.SelectedRow(), -1);
    EXPECT_NE(model.Revision(), revision);
    EXPECT_EQ(model.FirstSerial(), 3u);  // serials go on after a clear

    model.TraceRequest(MbapHeader{5, 0, 0, 0}, "next");
    EXPECT_EQ(model.Line(0), "14:03:27 <- 0005 next");
    model.Clear();
    model.Clear();  // an empty list stays empty
    EXPECT_EQ(model.LineCount(), 0u);
}

TEST(TraceRevision, ChangesWithEveryWrite) {
    TraceModel model = FixedClockModel();
    uint64_t last = model.Revision();
    const auto changed = [&] {
        const bool moved = model.Revision() != last;
        last = model.Revision();
        return moved;
    };
    model.TraceRaw("<-", Packet());
    EXPECT_TRUE(changed());
    model.TraceRequest(MbapHeader{}, "r");
    EXPECT_TRUE(changed());
    model.TraceAnswer(MbapHeader{}, "a");
    EXPECT_TRUE(changed());
}

}  // namespace
}  // namespace tarvik
