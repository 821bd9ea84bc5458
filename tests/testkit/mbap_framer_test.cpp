// Answers cut out of a stream by their length field, and requests built the
// way a master sends them.
#include "testkit/mbap_framer.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "testkit/hex_bytes.h"
#include "testkit/request_frames.h"

namespace tarvik::testing {
namespace {

// The load generator's bound: its longest answer is a read of 127 registers.
constexpr std::size_t kLoadBound = 300;

// Feeds the pieces in turn, taking every frame (as hex) as soon as it is whole.
std::vector<std::string> Frames(const std::vector<std::string_view>& pieces) {
    MbapFramer framer(kLoadBound);
    std::vector<std::string> frames;
    std::string_view frame;
    for (std::string_view piece : pieces) {
        framer.Feed(piece);
        while (framer.Next(frame) == MbapFramer::Step::Frame) frames.push_back(HexOf(frame));
    }
    return frames;
}

TEST(MbapFramer, CutsAnswersByTheirLengthFieldsHoweverTheBytesArrive) {
    const std::vector<std::string> two = {"00 01 00 00 00 07 01 03 04 00 0A 00 14",
                                          "00 02 00 00 00 06 01 06 00 05 12 34"};
    const std::string stream = Bytes(two[0] + " " + two[1]);
    const std::string_view all = stream;
    std::vector<std::string_view> singleBytes;
    for (std::size_t cut = 0; cut <= all.size(); ++cut) {
        EXPECT_EQ(Frames({all.substr(0, cut), all.substr(cut)}), two) << "cut at " << cut;
        singleBytes.push_back(all.substr(cut, 1));
    }
    EXPECT_EQ(Frames(singleBytes), two);

    // The byte count says 20 bytes, the length field 4: the frame ends at 4.
    EXPECT_EQ(
        Frames({Bytes("00 01 00 00 00 04 01 03 14 00 00 02 00 00 00 03 01 83 03")}),
        (std::vector<std::string>{"00 01 00 00 00 04 01 03 14 00", "00 02 00 00 00 03 01 83 03"}));

    std::string longest = Bytes("00 01 00 00 01 01 01 03 FE");  // length 257
    longest.append(254, '\x55');
    EXPECT_EQ(Frames({longest}), std::vector<std::string>{HexOf(longest)});
}

TEST(MbapFramer, LengthOutOfRangeBreaksTheStreamUntilReset) {
    const std::string next = Bytes("00 02 00 00 00 03 01 83 03");
    for (const char* header :
         {"00 01 00 00 00 01 01", "00 01 00 00 00 00 01", "00 01 00 00 01 2D 01"}) {
        MbapFramer framer(kLoadBound);
        std::string_view frame;
        framer.Feed(Bytes(header));
        EXPECT_EQ(framer.Next(frame), MbapFramer::Step::BadLength) << header;
        framer.Feed(next);
        EXPECT_EQ(framer.Next(frame), MbapFramer::Step::BadLength) << header;
        framer.Reset();
        framer.Feed(next);
        ASSERT_EQ(framer.Next(frame), MbapFramer::Step::Frame) << header;
        EXPECT_EQ(frame, next);
    }
}

TEST(RequestFrames, WireBytesOfEachBuilder) {
    const std::array<int32_t, 2> values{0x1234, 0xABCD};
    const struct {
        Packet built;
        const char* wire;
    } cases[] = {
        {ReadRequest(0x0102, 3, 0x0A0B, 125), "01 02 00 00 00 06 01 03 0A 0B 00 7D"},
        {ReadRequest(65536 + 7, 4, 0, 1, 255), "00 07 00 00 00 06 FF 04 00 00 00 01"},
        {WriteSingleRequest(1, 40, 0xBEEF), "00 01 00 00 00 06 01 06 00 28 BE EF"},
        {WriteMultipleRequest(2, 3, Bytes("00 05 FF 00"), 9),
         "00 02 00 00 00 0B 09 10 00 03 00 02 04 00 05 FF 00"},
        {WriteValuesRequest(2, 3, values), "00 02 00 00 00 0B 01 10 00 03 00 02 04 12 34 AB CD"},
        {Frame(5, 0, ""), "00 05 00 00 00 01 00"},
    };
    for (const auto& c : cases) EXPECT_EQ(HexOf(c.built), c.wire);
}

TEST(HexBytes, ReadsPairsAndRefusesWhatIsNotHex) {
    EXPECT_EQ(Bytes(" 00 0a\tFF\n7 "), Packet("\x00\x0A\xFF\x07", 4));
    EXPECT_EQ(HexOf(Bytes("")), "");
    for (const char* bad : {"0G", "123", "00,01"}) {
        EXPECT_THROW(Bytes(bad), std::invalid_argument) << bad;
    }
}

}  // namespace
}  // namespace tarvik::testing
