#include "bench/load/answer_framer.h"

#include <gtest/gtest.h>

#include <vector>

#include "bench/load/hex_frames.h"

namespace tarvik::bench {
namespace {

using testing::Bytes;
using testing::Hex;

const std::string kTwoAnswers = Bytes(
    "00 01 00 00 00 07 01 03 04 00 0A 00 14 "
    "00 02 00 00 00 06 01 06 00 05 12 34");

std::vector<std::string> Drain(AnswerFramer& framer) {
    std::vector<std::string> frames;
    std::string_view frame;
    while (framer.Next(frame) == AnswerFramer::Step::Frame) frames.emplace_back(frame);
    return frames;
}

TEST(AnswerFramer, CutsBackToBackAnswersByTheirLengthFields) {
    AnswerFramer framer;
    framer.Feed(kTwoAnswers);
    const auto frames = Drain(framer);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Hex(frames[0]), "00 01 00 00 00 07 01 03 04 00 0A 00 14");
    EXPECT_EQ(Hex(frames[1]), "00 02 00 00 00 06 01 06 00 05 12 34");
    EXPECT_EQ(framer.Buffered(), 0u);
}

TEST(AnswerFramer, ReassemblesAnswersSplitAtAnyByte) {
    for (std::size_t cut = 0; cut <= kTwoAnswers.size(); ++cut) {
        AnswerFramer framer;
        std::vector<std::string> frames;
        framer.Feed(std::string_view(kTwoAnswers).substr(0, cut));
        for (auto& f : Drain(framer)) frames.push_back(f);
        framer.Feed(std::string_view(kTwoAnswers).substr(cut));
        for (auto& f : Drain(framer)) frames.push_back(f);
        ASSERT_EQ(frames.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(frames[0] + frames[1], kTwoAnswers) << "cut at " << cut;
    }
}

TEST(AnswerFramer, ReassemblesAnswersFedOneByteAtATime) {
    AnswerFramer framer;
    std::vector<std::string> frames;
    for (char byte : kTwoAnswers) {
        framer.Feed(std::string_view(&byte, 1));
        for (auto& f : Drain(framer)) frames.push_back(f);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0] + frames[1], kTwoAnswers);
}

TEST(AnswerFramer, TrustsTheLengthFieldNotTheByteCount) {
    // Byte count says 20 bytes, the length field says 4: the frame ends at 4.
    AnswerFramer framer;
    framer.Feed(Bytes("00 01 00 00 00 04 01 03 14 00 00 02 00 00 00 03 01 83 03"));
    const auto frames = Drain(framer);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Hex(frames[0]), "00 01 00 00 00 04 01 03 14 00");
    EXPECT_EQ(Hex(frames[1]), "00 02 00 00 00 03 01 83 03");
}

TEST(AnswerFramer, LengthOutOfRangeBreaksTheStreamUntilReset) {
    for (const char* header : {"00 01 00 00 00 01 01", "00 01 00 00 00 00 01", "00 01 00 00 01 2D 01"}) {
        AnswerFramer framer;
        framer.Feed(Bytes(header));
        std::string_view frame;
        EXPECT_EQ(framer.Next(frame), AnswerFramer::Step::BadLength) << header;
        framer.Feed(Bytes("00 02 00 00 00 03 01 83 03"));
        EXPECT_EQ(framer.Next(frame), AnswerFramer::Step::BadLength) << header;

        framer.Reset();
        framer.Feed(Bytes("00 02 00 00 00 03 01 83 03"));
        ASSERT_EQ(framer.Next(frame), AnswerFramer::Step::Frame) << header;
        EXPECT_EQ(Hex(frame), "00 02 00 00 00 03 01 83 03");
    }
}

TEST(AnswerFramer, LongestReadAnswerFits) {
    std::string answer = Bytes("00 01 00 00 01 01 01 03 FE");  // length 257
    answer.append(254, '\x55');
    AnswerFramer framer;
    framer.Feed(answer);
    std::string_view frame;
    ASSERT_EQ(framer.Next(frame), AnswerFramer::Step::Frame);
    EXPECT_EQ(frame.size(), 263u);
}

}  // namespace
}  // namespace tarvik::bench
