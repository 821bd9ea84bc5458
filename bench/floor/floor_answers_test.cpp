#include "bench/floor/floor_answers.h"

#include <gtest/gtest.h>

#include "bench/load/hex_frames.h"

namespace tarvik::bench {
namespace {

using testing::Bytes;
using testing::Hex;

struct Answered {
    std::string wire;  // every answer, back to back, as hex
    std::size_t consumed = 0;
    std::vector<std::size_t> ends;
};

Answered Answer(FloorRegisters& registers, std::string_view requestHex) {
    const std::string stream = Bytes(requestHex);
    Answered answered;
    Packet out;
    answered.consumed = AnswerFrames(registers, stream, out, &answered.ends);
    answered.wire = Hex(out);
    return answered;
}

TEST(FloorReads, AnswerFromTheTablesWithByteCountAndValues) {
    FloorRegisters registers;
    registers.holding[0] = 10;
    registers.holding[1] = 20;
    registers.input[0] = 0xABCD;
    EXPECT_EQ(Answer(registers, "00 01 00 00 00 06 01 03 00 00 00 02").wire,
              "00 01 00 00 00 07 01 03 04 00 0A 00 14");
    EXPECT_EQ(Answer(registers, "00 09 00 00 00 06 01 04 00 00 00 01").wire, "00 09 00 00 00 05 01 04 02 AB CD");
}

TEST(FloorReads, CopyProtocolAndUnitIdentifiers) {
    FloorRegisters registers;
    EXPECT_EQ(Answer(registers, "12 34 00 05 00 06 F7 03 00 00 00 01").wire, "12 34 00 05 00 05 F7 03 02 00 00");
}

TEST(FloorReads, RegistersPastTheTableAreFilledStillWithTheRightCount) {
    FloorRegisters registers;
    registers.holding[2046] = 0x1234;
    registers.holding[2047] = 0xFFFF;
    const std::string wire = Answer(registers, "00 03 00 00 00 06 01 03 07 FE 00 04").wire;
    ASSERT_EQ(wire.size(), 3 * 17u - 1);
    EXPECT_EQ(wire.substr(0, 3 * 13 - 1), "00 03 00 00 00 0B 01 03 08 12 34 FF FF");
}

TEST(FloorReads, Quantity127IsServedAnd128IsRefusedWithCode3) {
    FloorRegisters registers;
    const Answered largest = Answer(registers, "00 01 00 00 00 06 01 03 00 00 00 7F");
    EXPECT_EQ(largest.wire.substr(0, 3 * 9 - 1), "00 01 00 00 01 01 01 03 FE");
    EXPECT_EQ(Answer(registers, "00 02 00 00 00 06 01 03 00 00 00 80").wire, "00 02 00 00 00 03 01 83 03");
    EXPECT_EQ(Answer(registers, "00 02 00 00 00 06 01 04 00 00 FF FF").wire, "00 02 00 00 00 03 01 84 03");
}

TEST(FloorWrites, SingleWriteStoresAndEchoes) {
    FloorRegisters registers;
    const char* write = "00 04 00 00 00 06 01 06 00 05 12 34";
    EXPECT_EQ(Answer(registers, write).wire, write);
    EXPECT_EQ(registers.holding[5], 0x1234);
    // Past the table: nothing stored, answered as done.
    const char* pastTable = "00 05 00 00 00 06 01 06 13 88 12 34";
    EXPECT_EQ(Answer(registers, pastTable).wire, pastTable);
    EXPECT_EQ(registers.holding[5000 % kFloorTableSize], 0);  // no wrap-around
}

TEST(FloorWrites, MultipleWriteStoresAndEchoesTheWholeRequest) {
    FloorRegisters registers;
    const char* request = "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02";
    EXPECT_EQ(Answer(registers, request).wire, request);
    EXPECT_EQ(registers.holding[10], 1);
    EXPECT_EQ(registers.holding[11], 2);
}

TEST(FloorWrites, MultipleWritePastTheTableIsRefusedAndStoresNothing) {
    FloorRegisters registers;
    std::string request = "00 06 00 00 00 19 01 10 07 F8 00 09 12";
    for (int i = 0; i < 9; ++i) request += " 00 07";
    EXPECT_EQ(Answer(registers, request).wire, "00 06 00 00 00 03 01 81 02");
    EXPECT_EQ(registers.holding[2040], 0);
}

TEST(FloorWrites, MultipleWriteWithoutItsValuesStoresNothing) {
    FloorRegisters registers;
    EXPECT_EQ(Answer(registers, "00 07 00 00 00 09 01 10 00 00 00 02 04 00 01").wire,
              "00 07 00 00 00 03 01 90 03");
    EXPECT_EQ(registers.holding[0], 0);
}

TEST(FloorFrames, UnsupportedFunctionsGet81Code2AndIgnoredOnesNothing) {
    FloorRegisters registers;
    EXPECT_EQ(Answer(registers, "00 01 00 05 00 02 11 07").wire, "00 01 00 05 00 03 11 81 02");
    const Answered ignored = Answer(registers, "00 01 00 00 00 06 01 01 00 00 00 08");
    EXPECT_EQ(ignored.wire, "");
    EXPECT_EQ(ignored.consumed, 12u);
}

TEST(FloorFrames, FramesTooShortForTheirFunctionGetCode3) {
    FloorRegisters registers;
    EXPECT_EQ(Answer(registers, "00 01 00 00 00 02 01 03").wire, "00 01 00 00 00 03 01 83 03");
    EXPECT_EQ(Answer(registers, "00 01 00 00 00 04 01 06 00 01").wire, "00 01 00 00 00 03 01 86 03");
}

TEST(FloorFrames, EmptyFramesAreDroppedUnanswered) {
    FloorRegisters registers;
    const Answered empty = Answer(registers, "00 01 00 00 00 01 11 00 02 00 00 00 00 11");
    EXPECT_EQ(empty.wire, "");
    EXPECT_EQ(empty.consumed, 13u);
}

TEST(FloorFrames, SeveralFramesInOneArrivalAreAnsweredInOrderAndCutApart) {
    FloorRegisters registers;
    const Answered both = Answer(registers,
                                 "00 01 00 00 00 06 01 06 00 00 00 2A "
                                 "00 02 00 00 00 06 01 03 00 00 00 01 "
                                 "00 03 00 00 00 06 01");  // the start of a third
    EXPECT_EQ(both.wire, "00 01 00 00 00 06 01 06 00 00 00 2A 00 02 00 00 00 05 01 03 02 00 2A");
    EXPECT_EQ(both.consumed, 24u);
    EXPECT_EQ(both.ends, (std::vector<std::size_t>{12, 23}));
}

TEST(FloorFrames, AnUnfinishedFrameIsLeftForTheNextArrival) {
    FloorRegisters registers;
    const Answered part = Answer(registers, "00 01 00 00 00 0A 01 03 00 00 00 01 00 00");
    EXPECT_EQ(part.wire, "");
    EXPECT_EQ(part.consumed, 0u);
}

}  // namespace
}  // namespace tarvik::bench
