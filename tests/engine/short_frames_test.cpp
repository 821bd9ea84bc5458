#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

// Each served function with its PDU cut one byte short of address and quantity.
TEST(ShortFrames, MissingAddressFieldsGetCode3AndOneLineAlways) {
    for (int code : {3, 4, 5, 6, 15, 16}) {
        EngineRig rig;
        rig.options.showRaw = false;
        rig.options.showReads = false;  // the line is written whatever the options say
        rig.Feed("00 01 00 00 00 05 01 " + Hex2(code) + " 00 00 00");
        ASSERT_EQ(rig.dispatch.answers.size(), 1u) << code;
        EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 03 01 " + Hex2(code + 128) + " 03");
        EXPECT_FALSE(rig.dispatch.answers[0].view) << code;  // "Show raw data", also for function 3
        EXPECT_EQ(rig.trace.lines, (Lines{"REQ 0001 Frame too short, function " + std::to_string(code),
                                          "DISPATCH " + std::to_string(code + 128)}));
        EXPECT_EQ(rig.engine.Registers().HoldingRegisters, RegisterTables{}.HoldingRegisters);
    }
}

TEST(ShortFrames, BareFunctionCodeIsShortToo) {
    EngineRig rig;
    rig.options.showRaw = true;
    rig.Feed("00 01 00 00 00 02 01 06");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 03 01 86 03");
    EXPECT_TRUE(rig.dispatch.answers[0].view);
}

TEST(ShortFrames, SimulatedReadStillGetsCode3) {
    EngineRig rig(/*simulatePAT=*/true);
    rig.Feed("00 01 00 00 00 04 01 03 01 2C");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 03 01 83 03");
}

TEST(ShortFrames, WriteMultipleOneValueByteShortStoresNothing) {
    EngineRig rig;
    rig.options.showRaw = false;
    // Quantity 2 needs four value bytes; three arrived inside the frame.
    rig.Feed("00 08 00 00 00 0A 01 10 00 0A 00 02 04 00 01 00");
    EXPECT_EQ(rig.Holding()[10], 0);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 08 00 00 00 03 01 90 03");
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0008 Write Holding Registers 10, length 2",
                                   "REQ 0008 Frame too short, function 16",
                                   "DISPATCH 144",
                               }));
}

TEST(ShortFrames, WriteMultipleRangeCheckComesBeforeTheLengthCheck) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 09 00 00 00 06 01 10 07 FF 00 02");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 09 00 00 00 03 01 81 02");
    EXPECT_EQ(rig.trace.lines.back(), "ANS 0009 0000 Write Holding Registers 2047, length 2");
}

TEST(ShortFrames, WriteMultipleWithoutByteCountNeedsNothingForQuantityZero) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 09 00 00 00 06 01 10 00 01 00 00");
    EXPECT_EQ(rig.dispatch.answers[0].functionByte, 16);
}

TEST(ShortFrames, NextFrameInTheSamePacketIsServed) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 01 00 00 00 03 01 03 00 00 02 00 00 00 06 01 06 00 03 00 2A");
    ASSERT_EQ(rig.dispatch.answers.size(), 2u);
    EXPECT_EQ(rig.dispatch.answers[0].functionByte, 131);
    EXPECT_EQ(rig.Holding()[3], 42);
}

}  // namespace
}  // namespace tarvik::testing
