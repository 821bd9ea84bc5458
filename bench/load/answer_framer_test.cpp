#include "bench/load/answer_framer.h"

#include <gtest/gtest.h>

#include <vector>

#include "bench/load/hex_frames.h"

namespace tarvik::bench {
namespace {

using testing::Bytes;
using testing::Hex;

// Feeds the pieces in turn, taking every frame (as hex) as soon as it is whole.
std::vector<std::string> Frames(const std::vector<std::string_view>& pieces) {
    AnswerFramer framer;
    std::vector<std::string> frames;
    std::string_view frame;
    for (std::string_view piece : pieces) {
        framer.Feed(piece);
        while (framer.Next(frame) == AnswerFramer::Step::Frame) frames.push_back(Hex(frame));
    }
    return frames;
}

TEST(AnswerFramer, CutsAnswersByTheirLengthFieldsHoweverTheBytesArrive) {
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
    EXPECT_EQ(Frames({longest}), std::vector<std::string>{Hex(longest)});
}

TEST(AnswerFramer, LengthOutOfRangeBreaksTheStreamUntilReset) {
    const std::string next = Bytes("00 02 00 00 00 03 01 83 03");
    for (const char* header :
         {"00 01 00 00 00 01 01", "00 01 00 00 00 00 01", "00 01 00 00 01 2D 01"}) {
        AnswerFramer framer;
        std::string_view frame;
        framer.Feed(Bytes(header));
        EXPECT_EQ(framer.Next(frame), AnswerFramer::Step::BadLength) << header;
        framer.Feed(next);
        EXPECT_EQ(framer.Next(frame), AnswerFramer::Step::BadLength) << header;
        framer.Reset();
        framer.Feed(next);
        ASSERT_EQ(framer.Next(frame), AnswerFramer::Step::Frame) << header;
        EXPECT_EQ(frame, next);
    }
}

}  // namespace
}  // namespace tarvik::bench
