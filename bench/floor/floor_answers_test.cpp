#include "bench/floor/floor_answers.h"

#include <gtest/gtest.h>

#include "testkit/hex_bytes.h"

namespace tarvik::bench {
namespace {

using testing::Bytes;
using testing::HexOf;

// The bytes consumed, then every answer back to back as hex.
std::string Answer(FloorRegisters& registers, const std::string& request,
                   std::vector<std::size_t>* ends = nullptr) {
    Packet out;
    const std::size_t consumed = AnswerFrames(registers, request, out, ends);
    return std::to_string(consumed) + ": " + HexOf(out);
}

TEST(FloorAnswers, AnswerEachFrameWithItsWireBytesAndStoreWrites) {
    FloorRegisters registers;
    registers.holding[0] = 10;
    registers.holding[1] = 20;
    registers.input[0] = 0xABCD;
    const struct {
        const char* request;
        const char* answer;
    } cases[] = {
        {"00 01 00 00 00 06 01 03 00 00 00 02", "00 01 00 00 00 07 01 03 04 00 0A 00 14"},
        {"00 09 00 00 00 06 01 04 00 00 00 01", "00 09 00 00 00 05 01 04 02 AB CD"},
        {"12 34 00 05 00 06 F7 03 00 00 00 01", "12 34 00 05 00 05 F7 03 02 00 0A"},
        // 128 registers do not fit a byte count.
        {"00 02 00 00 00 06 01 03 00 00 00 80", "00 02 00 00 00 03 01 83 03"},
        {"00 02 00 00 00 06 01 04 00 00 FF FF", "00 02 00 00 00 03 01 84 03"},
        {"00 04 00 00 00 06 01 06 00 05 12 34", "00 04 00 00 00 06 01 06 00 05 12 34"},
        // A single write past the table stores nothing and is answered as done.
        {"00 05 00 00 00 06 01 06 13 88 12 34", "00 05 00 00 00 06 01 06 13 88 12 34"},
        {"00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02",
         "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02"},
        // Nine registers from 2040 cross the table's end: refused whole.
        {"00 06 00 00 00 19 01 10 07 F8 00 09 12 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 "
         "00 07",
         "00 06 00 00 00 03 01 81 02"},
        {"00 07 00 00 00 09 01 10 00 00 00 02 04 00 01", "00 07 00 00 00 03 01 90 03"},
        {"00 01 00 05 00 02 11 07", "00 01 00 05 00 03 11 81 02"},
        {"00 01 00 00 00 02 01 03", "00 01 00 00 00 03 01 83 03"},
        {"00 01 00 00 00 04 01 06 00 01", "00 01 00 00 00 03 01 86 03"},
        {"00 01 00 00 00 06 01 01 00 00 00 08", ""},  // ignored: no answer
    };
    for (const auto& c : cases) {
        const std::string request = Bytes(c.request);
        EXPECT_EQ(Answer(registers, request), std::to_string(request.size()) + ": " + c.answer)
            << c.request;
    }
    EXPECT_EQ(registers.holding[0], 10);  // the write without its values
    EXPECT_EQ(registers.holding[5], 0x1234);
    EXPECT_EQ(registers.holding[10], 1);
    EXPECT_EQ(registers.holding[11], 2);
    EXPECT_EQ(registers.holding[5000 % kFloorTableSize], 0);  // no wrap-around
    EXPECT_EQ(registers.holding[2040], 0);
}

TEST(FloorAnswers, LongReadsKeepTheirByteCountPastTheTable) {
    FloorRegisters registers;
    registers.holding[2046] = 0x1234;
    registers.holding[2047] = 0xFFFF;
    const std::string pastEnd = Answer(registers, Bytes("00 03 00 00 00 06 01 03 07 FE 00 04"));
    EXPECT_EQ(pastEnd.substr(0, 4 + 3 * 13 - 1), "12: 00 03 00 00 00 0B 01 03 08 12 34 FF FF");
    EXPECT_EQ(pastEnd.size(), 4 + 3 * 17u - 1);
    const std::string largest = Answer(registers, Bytes("00 01 00 00 00 06 01 03 00 00 00 7F"));
    EXPECT_EQ(largest.substr(0, 4 + 3 * 9 - 1), "12: 00 01 00 00 01 01 01 03 FE");
    EXPECT_EQ(largest.size(), 4 + 3 * 263u - 1);
}

TEST(FloorAnswers, SeveralFramesInOneArrivalAreAnsweredInOrderAndCutApart) {
    FloorRegisters registers;
    std::vector<std::size_t> ends;
    const std::string arrival = Bytes(
        "00 01 00 00 00 06 01 06 00 00 00 2A "
        "00 02 00 00 00 06 01 03 00 00 00 01 "
        "00 03 00 00 00 06 01");  // the start of a third
    EXPECT_EQ(Answer(registers, arrival, &ends),
              "24: 00 01 00 00 00 06 01 06 00 00 00 2A 00 02 00 00 00 05 01 03 02 00 2A");
    EXPECT_EQ(ends, (std::vector<std::size_t>{12, 23}));
    EXPECT_EQ(Answer(registers, Bytes("00 01 00 00 00 0A 01 03 00 00 00 01 00 00")), "0: ");
    // Empty frames are dropped unanswered.
    EXPECT_EQ(Answer(registers, Bytes("00 01 00 00 00 01 11 00 02 00 00 00 00 11")), "13: ");
}

}  // namespace
}  // namespace tarvik::bench
