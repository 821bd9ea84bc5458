#include "config/text_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarvik {
namespace {

using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// The rounded column is what a delay or a port becomes.
TEST(LeadingNumber, ReadsDelayAndPortTextsAndRoundsHalfToEvenWithinTheRange) {
    struct Case {
        std::string text;
        double number;
        int32_t rounded;
    } const cases[] = {
        {"-50", -50, -50},
        {"abc", 0, 0},
        {"", 0, 0},
        {"1e3", 1000, 1000},
        {"&H64", 100, 100},
        {"150ms", 150, 150},
        {"12.5", 12.5, 12},
        {"13.5", 13.5, 14},
        {"1D2", 100, 100},
        {"&O17", 15, 15},
        {"+7", 7, 7},
        {".5", 0.5, 0},
        {"-0.5", -0.5, 0},
        {"-2.5", -2.5, -2},
        {"2.4999", 2.4999, 2},
        // blanks, tabs and line feeds vanish anywhere; other controls stop
        {" \t5\n0 2 ", 502, 502},
        {"& H 6 4", 100, 100},
        {"5\r02", 5, 5},
        {"5\0"
         "02"s,
         5, 5},
        // the first character that cannot continue the number ends it
        {"1.2.3", 1.2, 1},
        {"1e3.5", 1000, 1000},
        {"1e+", 1, 1},
        {"--5", 0, 0},
        {"&H", 0, 0},
        {"&O78", 7, 7},
        {"&X12", 0, 0},
        // beyond the 32-bit range the whole number clamps
        {"2147483647.5", 2147483647.5, kMax},
        {"2147483648", 2147483648.0, kMax},
        {"-2147483649", -2147483649.0, kMin},
        {"1e999", kInf, kMax},
        {"-1e999", -kInf, kMin},
        {"0e999999", 0, 0},
        {"1" + std::string(400, '0') + "e-10", kInf, kMax},
        {"0." + std::string(400, '0') + "1e405", 1e4, 10000},
        {"&H" + std::string(300, 'F'), kInf, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text.substr(0, 40)));
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.number);
        EXPECT_EQ(RoundHalfEvenToInt32(LeadingNumber(c.text)), c.rounded);
    }
    EXPECT_EQ(RoundHalfEvenToInt32(std::nan("")), 0);
}

}  // namespace
}  // namespace tarvik
