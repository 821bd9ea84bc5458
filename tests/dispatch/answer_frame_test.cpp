#include "dispatch/answer_frame.h"

#include <gtest/gtest.h>

#include "dispatch_fakes.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::HexOf;

TEST(AnswerFrame, CarriesRequestHeaderLengthFunctionAndData) {
    const MbapHeader header{0x0102, 0, 99, 0x11};  // the request's own Length is not reused
    EXPECT_EQ(HexOf(AssembleAnswer(header, 3, Bytes("04 00 0A 00 14"))),
              "01 02 00 00 00 07 11 03 04 00 0A 00 14");
}

TEST(AnswerFrame, EmptyDataGivesEightBytesWithLengthTwo) {
    const Packet frame = AssembleAnswer(MbapHeader{7, 0, 0, 1}, 5, Packet());
    EXPECT_EQ(HexOf(frame), "00 07 00 00 00 02 01 05");
}

TEST(AnswerFrame, TopFieldValuesKeepBothBytes) {
    const MbapHeader header{0xFFFF, 0x1234, 0, 0xFF};
    EXPECT_EQ(HexOf(AssembleAnswer(header, 129, Bytes("02"))), "FF FF 12 34 00 03 FF 81 02");
}

TEST(AnswerFrame, LongestEchoFillsTheLengthWord) {
    // Write Multiple Registers with the largest Length echoes 65533 bytes.
    const Packet frame = AssembleAnswer(MbapHeader{1, 0, 0, 1}, 16, Packet(65533, '\x5A'));
    ASSERT_EQ(frame.size(), 65541u);
    EXPECT_EQ(HexOf(frame.substr(0, 9)), "00 01 00 00 FF FF 01 10 5A");
    EXPECT_EQ(frame.back(), '\x5A');
}

}  // namespace
}  // namespace tarvik
