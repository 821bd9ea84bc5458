#include <gtest/gtest.h>

#include "engine/clock_random.h"
#include "engine/register_tables.h"
#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

TEST(PacketFields, WordsAreBigEndianAndNeverNegative) {
    EXPECT_EQ(GetWord(Bytes("01 2C"), 0), 300);
    EXPECT_EQ(GetWord(Bytes("FF FF"), 0), 65535);
    EXPECT_EQ(GetWord(Bytes("00 00"), 0), 0);
    EXPECT_EQ(GetWord(Bytes("AA 12 34"), 1), 0x1234);
    EXPECT_EQ(HexOf(PutWord(4660)), "12 34");
    EXPECT_EQ(HexOf(PutWord(65535)), "FF FF");
    EXPECT_EQ(HexOf(PutWord(0)), "00 00");
    EXPECT_EQ(GetByte(Bytes("80"), 0), 128);
    EXPECT_EQ(HexOf(ByteOf(255)), "FF");
}

TEST(TextForms, DecimalAndHexAsTheTraceShowsThem) {
    EXPECT_EQ(Decimal(0), "0");
    EXPECT_EQ(Decimal(65535), "65535");
    EXPECT_EQ(Hex2(0), "00");
    EXPECT_EQ(Hex2(10), "0A");
    EXPECT_EQ(Hex2(255), "FF");
    EXPECT_EQ(Hex4(0), "0000");
    EXPECT_EQ(Hex4(26), "001A");
    EXPECT_EQ(Hex4(65535), "FFFF");
    EXPECT_EQ(Hex4(0x12345), "2345");  // only the last four digits
}

TEST(RegisterTables, StartAtZeroAndBitEditsStayIn16Bits) {
    RegisterTables tables;
    for (int i = 0; i < kRegisterCount; ++i) {
        ASSERT_EQ(tables.HoldingRegisters[static_cast<std::size_t>(i)], 0);
        ASSERT_EQ(tables.InputRegisters[static_cast<std::size_t>(i)], 0);
    }
    EXPECT_EQ(tables.HoldingRegisters.size(), 2048u);
    EXPECT_EQ(WithBitCleared(65535, 3), 65527);
    EXPECT_EQ(WithBitSet(0, 15), 32768);
    EXPECT_EQ(WithBitCleared(0x1FFFF, 0), 65534);  // the clearing mask drops bits above 15
}

TEST(RandomRegisterBytes, ScaleBy255AndRoundToNearest) {
    ScriptedRandom random;
    // 0.5 x 255 = 127.5 is the one exact tie and goes to the even 128.
    random.values = {0.0, 0.3 / 255.0, 0.7 / 255.0, 0.5, 0.25, 0.75, 0.9999999};
    EXPECT_EQ(RandomByte(random), 0);
    EXPECT_EQ(RandomByte(random), 0);
    EXPECT_EQ(RandomByte(random), 1);
    EXPECT_EQ(RandomByte(random), 128);
    EXPECT_EQ(RandomByte(random), 64);   // 63.75
    EXPECT_EQ(RandomByte(random), 191);  // 191.25
    EXPECT_EQ(RandomByte(random), 255);
}

TEST(RandomRegisterBytes, ClockSeededSourceStaysInUnitInterval) {
    ClockSeededRandom random;
    for (int i = 0; i < 10000; ++i) {
        const double u = random.NextUniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

}  // namespace
}  // namespace tarvik::testing
