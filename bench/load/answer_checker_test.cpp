#include "bench/load/answer_checker.h"

#include <gtest/gtest.h>

#include <vector>

#include "bench/load/hex_frames.h"

namespace tarvik::bench {
namespace {

using testing::Bytes;

const std::string kRead = Bytes("00 01 00 00 00 06 01 03 00 00 00 02");
const std::string kReadAnswer = Bytes("00 01 00 00 00 07 01 03 04 00 0A 00 14");
const std::string kWrite16 = Bytes("00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02");
const std::string kWrite6 = Bytes("00 03 00 00 00 06 11 06 13 88 12 34");

AnswerFault Check(const std::string& request, std::string_view answerHex, std::vector<int32_t> known = {}) {
    return CheckAnswer(request, Bytes(answerHex), known);
}

TEST(CheckRead, RightAnswerPassesWithAndWithoutKnownValues) {
    EXPECT_EQ(CheckAnswer(kRead, kReadAnswer, {}), AnswerFault::None);
    EXPECT_EQ(CheckAnswer(kRead, kReadAnswer, std::vector<int32_t>{10, 20}), AnswerFault::None);
    // Registers past the table are random: unknown values are not compared.
    EXPECT_EQ(CheckAnswer(kRead, kReadAnswer, std::vector<int32_t>{10, -1}), AnswerFault::None);
}

TEST(CheckRead, CatchesEachWrongHeaderField) {
    EXPECT_EQ(Check(kRead, "00 02 00 00 00 07 01 03 04 00 0A 00 14"), AnswerFault::TransactionId);
    EXPECT_EQ(Check(kRead, "00 01 00 05 00 07 01 03 04 00 0A 00 14"), AnswerFault::ProtocolId);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 07 02 03 04 00 0A 00 14"), AnswerFault::UnitId);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 07 01 04 04 00 0A 00 14"), AnswerFault::FunctionByte);
}

TEST(CheckRead, ExceptionAnswersAreWrong) {
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 03 01 83 03"), AnswerFault::FunctionByte);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 03 01 81 02"), AnswerFault::FunctionByte);
}

TEST(CheckRead, CatchesWrongLengths) {
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 05 01 03 02 00 0A"), AnswerFault::ByteCount);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 05 01 03 04 00 0A"), AnswerFault::Size);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 09 01 03 04 00 0A 00 14 00 00"), AnswerFault::Size);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 02 01 03"), AnswerFault::Size);
    // A length field that disagrees with the frame handed in.
    EXPECT_EQ(Check(kRead, "00 01 00 00 00 08 01 03 04 00 0A 00 14"), AnswerFault::Size);
    EXPECT_EQ(Check(kRead, "00 01 00 00 00"), AnswerFault::Size);
}

TEST(CheckRead, CatchesAValueThatDiffersFromTheKnownOne) {
    EXPECT_EQ(CheckAnswer(kRead, kReadAnswer, std::vector<int32_t>{10, 21}), AnswerFault::Values);
    EXPECT_EQ(CheckAnswer(kRead, kReadAnswer, std::vector<int32_t>{-1, 0}), AnswerFault::Values);
}

TEST(CheckMultipleWrite, AcceptsTheFullEchoAndTheShortAnswer) {
    EXPECT_EQ(CheckAnswer(kWrite16, kWrite16, {}), AnswerFault::None);
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 06 01 10 00 0A 00 02"), AnswerFault::None);
}

TEST(CheckMultipleWrite, CatchesAnEchoThatIsNotTheRequest) {
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 03"), AnswerFault::Echo);
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 06 01 10 00 0A 00 03"), AnswerFault::Echo);
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 06 01 10 00 0B 00 02"), AnswerFault::Echo);
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 08 01 10 00 0A 00 02 04 00"), AnswerFault::Size);
    EXPECT_EQ(Check(kWrite16, "00 02 00 00 00 03 01 81 02"), AnswerFault::FunctionByte);
}

TEST(CheckSingleWrite, WantsTheExactEcho) {
    EXPECT_EQ(CheckAnswer(kWrite6, kWrite6, {}), AnswerFault::None);
    EXPECT_EQ(Check(kWrite6, "00 03 00 00 00 06 11 06 13 88 12 35"), AnswerFault::Echo);
    EXPECT_EQ(Check(kWrite6, "00 03 00 00 00 03 11 06 13"), AnswerFault::Size);
    EXPECT_EQ(Check(kWrite6, "00 03 00 00 00 06 01 06 13 88 12 34"), AnswerFault::UnitId);
}

}  // namespace
}  // namespace tarvik::bench
