#include "bench/load/answer_checker.h"

#include <gtest/gtest.h>

#include <vector>

#include "testkit/hex_bytes.h"

namespace tarvik::bench {
namespace {

constexpr const char* kRead = "00 01 00 00 00 06 01 03 00 00 00 02";
constexpr const char* kReadAnswer = "00 01 00 00 00 07 01 03 04 00 0A 00 14";
constexpr const char* kWrite16 = "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02";
constexpr const char* kWrite6 = "00 03 00 00 00 06 11 06 13 88 12 34";

TEST(CheckAnswer, NamesTheFaultOfEachWrongAnswerAndPassesRightOnes) {
    struct Case {
        const char* request;
        const char* answer;
        std::vector<int32_t> known;
        AnswerFault fault;
    };
    const Case cases[] = {
        {kRead, kReadAnswer, {}, AnswerFault::None},
        {kRead, kReadAnswer, {10, 20}, AnswerFault::None},
        // Registers past the table are random: unknown values are not compared.
        {kRead, kReadAnswer, {10, -1}, AnswerFault::None},
        {kRead, kReadAnswer, {10, 21}, AnswerFault::Values},
        {kRead, kReadAnswer, {-1, 0}, AnswerFault::Values},
        {kRead, "00 02 00 00 00 07 01 03 04 00 0A 00 14", {}, AnswerFault::TransactionId},
        {kRead, "00 01 00 05 00 07 01 03 04 00 0A 00 14", {}, AnswerFault::ProtocolId},
        {kRead, "00 01 00 00 00 07 02 03 04 00 0A 00 14", {}, AnswerFault::UnitId},
        {kRead, "00 01 00 00 00 07 01 04 04 00 0A 00 14", {}, AnswerFault::FunctionByte},
        {kRead, "00 01 00 00 00 03 01 83 03", {}, AnswerFault::FunctionByte},
        {kRead, "00 01 00 00 00 05 01 03 02 00 0A", {}, AnswerFault::ByteCount},
        {kRead, "00 01 00 00 00 05 01 03 04 00 0A", {}, AnswerFault::Size},
        {kRead, "00 01 00 00 00 09 01 03 04 00 0A 00 14 00 00", {}, AnswerFault::Size},
        {kRead, "00 01 00 00 00 02 01 03", {}, AnswerFault::Size},
        // A length field that disagrees with the frame handed in.
        {kRead, "00 01 00 00 00 08 01 03 04 00 0A 00 14", {}, AnswerFault::Size},
        {kRead, "00 01 00 00 00", {}, AnswerFault::Size},
        // Function 16 passes with the full echo or the short start-and-quantity answer.
        {kWrite16, kWrite16, {}, AnswerFault::None},
        {kWrite16, "00 02 00 00 00 06 01 10 00 0A 00 02", {}, AnswerFault::None},
        {kWrite16, "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 03", {}, AnswerFault::Echo},
        {kWrite16, "00 02 00 00 00 06 01 10 00 0A 00 03", {}, AnswerFault::Echo},
        {kWrite16, "00 02 00 00 00 06 01 10 00 0B 00 02", {}, AnswerFault::Echo},
        {kWrite16, "00 02 00 00 00 08 01 10 00 0A 00 02 04 00", {}, AnswerFault::Size},
        {kWrite16, "00 02 00 00 00 03 01 81 02", {}, AnswerFault::FunctionByte},
        {kWrite6, kWrite6, {}, AnswerFault::None},
        {kWrite6, "00 03 00 00 00 06 11 06 13 88 12 35", {}, AnswerFault::Echo},
        {kWrite6, "00 03 00 00 00 03 11 06 13", {}, AnswerFault::Size},
        {kWrite6, "00 03 00 00 00 06 01 06 13 88 12 34", {}, AnswerFault::UnitId},
    };
    for (const auto& c : cases) {
        const AnswerFault fault =
            CheckAnswer(testing::Bytes(c.request), testing::Bytes(c.answer), c.known);
        EXPECT_EQ(FaultName(fault), FaultName(c.fault)) << c.request << " -> " << c.answer;
    }
}

}  // namespace
}  // namespace tarvik::bench
