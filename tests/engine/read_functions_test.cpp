#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(ReadHoldingRegisters, AnswersFromTheTableWithItsTraceLines) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Holding()[0] = 10;
    rig.Holding()[1] = 20;
    rig.Feed("00 01 00 00 00 06 01 03 00 00 00 02");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 07 01 03 04 00 0A 00 14");
    EXPECT_TRUE(rig.dispatch.answers[0].view);  // "Show reads", not "Show raw data"
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0001 Read Holding Registers 0, count 2",
                                   "DISPATCH 3",
                                   "ANS 0001 0000 Read Holding Registers 0, data 04 00 0A 00 14 ",
                               }));
}

TEST(ReadHoldingRegisters, ShowReadsClearedWritesNoLinesAndClearsTheViewFlag) {
    EngineRig rig;
    rig.options.showRaw = true;
    rig.options.showReads = false;
    rig.Feed("00 01 00 00 00 06 01 03 00 00 00 02");
    EXPECT_EQ(rig.trace.lines, (Lines{"RAW <- 00 01 00 00 00 06 01 03 00 00 00 02", "DISPATCH 3"}));
    EXPECT_FALSE(rig.dispatch.answers[0].view);
}

TEST(ReadHoldingRegisters, RegistersPastTheTableAreRandom) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Holding()[2046] = 0x1234;
    rig.Holding()[2047] = 0xFFFF;
    rig.random.values = {1.0 / 255, 2.0 / 255, 0.2 / 255, 254.2 / 255};
    rig.Feed("00 03 00 00 00 06 01 03 07 FE 00 04");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 03 00 00 00 0B 01 03 08 12 34 FF FF 01 02 00 FE");
}

TEST(ReadHoldingRegisters, QuantityZeroAnswersByteCountZero) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 03 00 05 00 00");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 03 01 03 00");
}

TEST(ReadHoldingRegisters, Quantity127IsServedAnd128IsRefusedWithCode3) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 01 00 00 00 06 01 03 00 00 00 7F");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.dispatch.answers[0].functionByte, 3);
    EXPECT_EQ(rig.dispatch.answers[0].data.size(), 255u);
    EXPECT_EQ(GetByte(rig.dispatch.answers[0].data, 0), 254);

    rig.trace.lines.clear();
    rig.Feed("00 02 00 00 00 06 01 03 00 00 00 80");
    EXPECT_EQ(rig.dispatch.answers[1].WireHex(), "00 02 00 00 00 03 01 83 03");
    EXPECT_TRUE(rig.dispatch.answers[1].view);
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0002 Read Holding Registers 0, count 128",
                                   "DISPATCH 131",
                                   "ANS 0002 0000 Read Holding Registers 0, data 03 ",
                               }));
}

TEST(ReadHoldingRegisters, SimulatedAnswersComeFromTheCannedRows) {
    EngineRig rig(/*simulatePAT=*/true);
    rig.options.showRaw = false;
    rig.Holding()[300] = 77;  // never read while simulating
    const std::pair<const char*, const char*> rows[] = {
        {"01 2C 00 04", "08 99 9A 99 99 99 99 40 24"}, {"01 30 00 04", "08 33 33 33 33 33 33 40 37"},
        {"01 3D 00 04", "08 07 DD 07 0C 08 2E 31 00"}, {"00 72 00 02", "04 00 0F 2E 19"},
        {"00 22 00 02", "04 07 D7 0A 05"},             {"00 64 00 02", "04 C0 A8 00 01"},
        {"00 26 00 02", "04 00 12 00 34"},             {"00 28 00 02", "04 12 34 56 78"},
    };
    for (const auto& [request, data] : rows) {
        rig.Feed(std::string("00 01 00 00 00 06 01 03 ") + request);
        EXPECT_EQ(HexOf(rig.dispatch.answers.back().data), data) << request;
        EXPECT_EQ(rig.dispatch.answers.back().functionByte, 3);
    }
    rig.trace.lines.clear();
    rig.Feed("00 09 00 00 00 06 01 03 01 2C 00 02");
    EXPECT_EQ(rig.dispatch.answers.back().WireHex(), "00 09 00 00 00 03 01 83 02");
    EXPECT_EQ(rig.trace.lines.back(), "ANS 0009 0000 Read Holding Registers 300, data 02 ");
    // Quantity past 127 keeps the simulated rule: no row fits.
    rig.Feed("00 0A 00 00 00 06 01 03 00 00 00 80");
    EXPECT_EQ(rig.dispatch.answers.back().WireHex(), "00 0A 00 00 00 03 01 83 02");
}

TEST(ReadInputRegisters, AnswerLineIsWrittenEvenWithShowReadsCleared) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.showReads = false;
    rig.Input()[0] = 10;
    rig.Input()[1] = 20;
    rig.Holding()[0] = 99;
    rig.Feed("00 01 00 00 00 06 01 04 00 00 00 02");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 07 01 04 04 00 0A 00 14");
    EXPECT_FALSE(rig.dispatch.answers[0].view);  // "Show raw data"
    EXPECT_EQ(rig.trace.lines, (Lines{"DISPATCH 4", "ANS 0001 0000 Read Input Registers 0, data 000A0014"}));
}

TEST(ReadInputRegisters, ShowReadsAddsTheRequestLineAndRandomWordsShowAsHex4) {
    EngineRig rig;
    rig.options.showRaw = true;
    rig.options.showReads = false;
    rig.random.values = {171.0 / 255, 205.0 / 255};
    rig.Feed("00 01 00 00 00 06 01 04 08 00 00 01");
    EXPECT_TRUE(rig.dispatch.answers[0].view);
    rig.options.showReads = true;
    rig.trace.lines.clear();
    rig.random.values = {171.0 / 255, 205.0 / 255};
    rig.Feed("00 02 00 00 00 06 01 04 08 00 00 01");
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "RAW <- 00 02 00 00 00 06 01 04 08 00 00 01",
                                   "REQ 0002 Read Input Registers 2048, count 1",
                                   "DISPATCH 4",
                                   "ANS 0002 0000 Read Input Registers 2048, data ABCD",
                               }));
}

TEST(ReadInputRegisters, Quantity128IsRefusedWith132Code3) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.showReads = false;
    rig.Feed("00 01 00 00 00 06 01 04 00 00 FF FF");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 03 01 84 03");
    EXPECT_EQ(rig.trace.lines, (Lines{"DISPATCH 132", "ANS 0001 0000 Read Input Registers 0, data 03 "}));
}

}  // namespace
}  // namespace tarvik::testing
