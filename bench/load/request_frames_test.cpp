#include "bench/load/request_frames.h"

#include <gtest/gtest.h>

#include "bench/load/hex_frames.h"
#include "bench/load/register_priming.h"

namespace tarvik::bench {
namespace {

using testing::Hex;

TEST(BuildRequest, ReadFramesCarryStartAndQuantity) {
    EXPECT_EQ(Hex(BuildRequest({3, 0, 10, 1}, 0x1234, 0)), "12 34 00 00 00 06 01 03 00 00 00 0A");
    EXPECT_EQ(Hex(BuildRequest({4, 2046, 125, 0xFF}, 0xFFFF, 9)), "FF FF 00 00 00 06 FF 04 07 FE 00 7D");
}

TEST(BuildRequest, SingleWriteCarriesTheValueOfItsSequence) {
    const Packet frame = BuildRequest({6, 5, 1, 1}, 7, 3);
    ASSERT_EQ(frame.size(), 12u);
    EXPECT_EQ(Hex(frame.substr(0, 10)), "00 07 00 00 00 06 01 06 00 05");
    EXPECT_EQ(GetWord(frame, 10), WrittenValue(5, 3));
}

TEST(BuildRequest, MultipleWriteHasLengthByteCountAndEveryValue) {
    const Packet frame = BuildRequest({16, 10, 2, 1}, 2, 4);
    ASSERT_EQ(frame.size(), 17u);
    EXPECT_EQ(Hex(frame.substr(0, 13)), "00 02 00 00 00 0B 01 10 00 0A 00 02 04");
    EXPECT_EQ(GetWord(frame, 13), WrittenValue(10, 4));
    EXPECT_EQ(GetWord(frame, 15), WrittenValue(11, 4));

    const Packet largest = BuildRequest({16, 0, 123, 1}, 1, 0);
    EXPECT_EQ(largest.size(), 13u + 246u);
    EXPECT_EQ(GetWord(largest, 4), 253);
}

TEST(WrittenValues, ChangeFromOneRequestToTheNext) {
    for (uint64_t sequence = 0; sequence < 1000; ++sequence) {
        EXPECT_NE(WrittenValue(10, sequence), WrittenValue(10, sequence + 1));
    }
}

TEST(PrimedValues, AreNeverZeroAndDifferFromTheirNeighbour) {
    for (int address = 0; address < kTableSize; ++address) {
        EXPECT_NE(PrimedValue(address), 0);
        EXPECT_LE(PrimedValue(address), 0xFFFF);
        if (address > 0) {
            EXPECT_NE(PrimedValue(address), PrimedValue(address - 1));
        }
    }
}

TEST(PrimedValues, AreUnknownPastTheTable) {
    const auto values = PrimedReadValues({3, 2046, 4, 1});
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0], PrimedValue(2046));
    EXPECT_EQ(values[1], PrimedValue(2047));
    EXPECT_EQ(values[2], -1);
    EXPECT_EQ(values[3], -1);
}

}  // namespace
}  // namespace tarvik::bench
