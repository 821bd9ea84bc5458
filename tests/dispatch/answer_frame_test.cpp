#include "dispatch/answer_frame.h"

#include <gtest/gtest.h>

#include "dispatch_fakes.h"

namespace tarvik::testing {
namespace {

TEST(AnswerFrame, CarriesRequestHeaderFreshLengthFunctionAndData) {
    // The request's own Length (99) is never reused.
    EXPECT_EQ(HexOf(AssembleAnswer(MbapHeader{0x0102, 0, 99, 0x11}, 3, Bytes("04 00 0A 00 14"))),
              "01 02 00 00 00 07 11 03 04 00 0A 00 14");
    EXPECT_EQ(HexOf(AssembleAnswer(MbapHeader{7, 0, 0, 1}, 5, Packet())), "00 07 00 00 00 02 01 05");
    EXPECT_EQ(HexOf(AssembleAnswer(MbapHeader{0xFFFF, 0x1234, 0, 0xFF}, 129, Bytes("02"))),
              "FF FF 12 34 00 03 FF 81 02");
    // Write Multiple Registers with the largest Length echoes 65533 bytes.
    const Packet longest = AssembleAnswer(MbapHeader{1, 0, 0, 1}, 16, Packet(65533, '\x5A'));
    ASSERT_EQ(longest.size(), 65541u);
    EXPECT_EQ(HexOf(longest.substr(0, 9)), "00 01 00 00 FF FF 01 10 5A");
}

}  // namespace
}  // namespace tarvik::testing
