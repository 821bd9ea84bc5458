#include "engine/typed_value.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace tarvik {
namespace {

using VT = ValueType;
using WO = WordOrder;

std::vector<uint16_t> WordsOf(std::string_view text) {
    std::vector<uint16_t> words;
    for (std::size_t at = 0; at < text.size(); at += 5) {
        words.push_back(
            static_cast<uint16_t>(std::stoul(std::string(text.substr(at, 4)), nullptr, 16)));
    }
    return words;
}

struct Layout {
    TypedValue value;
    VT type;
    WO order;
    const char* registers;
};

// Every type in every order it takes, each pattern written out by hand.
const Layout kLayouts[] = {
    {int64_t{-2}, VT::Int16, WO::ABCD, "FFFE"},
    {int64_t{-2}, VT::Int16, WO::BADC, "FEFF"},
    {uint64_t{0x1234}, VT::Uint16, WO::BADC, "3412"},
    {int64_t{-123456789}, VT::Int32, WO::ABCD, "F8A4 32EB"},
    {int64_t{-123456789}, VT::Int32, WO::CDAB, "32EB F8A4"},
    {int64_t{-123456789}, VT::Int32, WO::BADC, "A4F8 EB32"},
    {int64_t{-123456789}, VT::Int32, WO::DCBA, "EB32 A4F8"},
    {uint64_t{0x12345678}, VT::Uint32, WO::ABCD, "1234 5678"},
    {1.0, VT::Float32, WO::ABCD, "3F80 0000"},
    {-12.5, VT::Float32, WO::DCBA, "0000 48C1"},
    // Four different words, so a swapped pair anywhere shows.
    {int64_t{0x0102030405060708}, VT::Int64, WO::ABCD, "0102 0304 0506 0708"},
    {int64_t{0x0102030405060708}, VT::Int64, WO::CDAB, "0708 0506 0304 0102"},
    {int64_t{0x0102030405060708}, VT::Int64, WO::BADC, "0201 0403 0605 0807"},
    {int64_t{0x0102030405060708}, VT::Int64, WO::DCBA, "0807 0605 0403 0201"},
    {uint64_t{0xFEDCBA9876543210}, VT::Uint64, WO::ABCD, "FEDC BA98 7654 3210"},
    {1.0, VT::Float64, WO::ABCD, "3FF0 0000 0000 0000"},
    {1.0, VT::Float64, WO::BADC, "F03F 0000 0000 0000"},
    // Extremes.
    {std::numeric_limits<int64_t>::min(), VT::Int64, WO::ABCD, "8000 0000 0000 0000"},
    {std::numeric_limits<uint64_t>::max(), VT::Uint64, WO::ABCD, "FFFF FFFF FFFF FFFF"},
    {DBL_MAX, VT::Float64, WO::ABCD, "7FEF FFFF FFFF FFFF"},
    {-DBL_MAX, VT::Float64, WO::DCBA, "FFFF FFFF FFFF EFFF"},
    {std::numeric_limits<double>::denorm_min(), VT::Float64, WO::ABCD, "0000 0000 0000 0001"},
    {-0.0, VT::Float64, WO::ABCD, "8000 0000 0000 0000"},
    {static_cast<double>(FLT_MAX), VT::Float32, WO::ABCD, "7F7F FFFF"},
    {std::numeric_limits<int64_t>::min(), VT::Int16, WO::ABCD, "8000"},  // clamped
};

TEST(TypedValue, EveryTypeAndOrderLaysOutAndReadsBack) {
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(std::string(TypeName(layout.type)) + " " +
                     std::string(OrderName(layout.order)) + " " + layout.registers);
        const std::vector<uint16_t> words = WordsOf(layout.registers);
        const RegisterWords laid = EncodeValue(layout.value, layout.type, layout.order);
        EXPECT_EQ(std::vector<uint16_t>(laid.words.begin(), laid.words.begin() + laid.count),
                  words);
        const TypedValue back = DecodeValue(words, layout.type, layout.order);
        EXPECT_EQ(back, FitToType(layout.value, layout.type));
        EXPECT_EQ(std::signbit(AsDouble(back)), std::signbit(AsDouble(layout.value)));
    }
}

TEST(TypedValue, RoundsHalvesAwayFromZeroAndClampsToTheType) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        TypedValue in;
        VT type;
        TypedValue out;
    } cases[] = {
        {2.5, VT::Int16, int64_t{3}},
        {-2.5, VT::Int16, int64_t{-3}},
        {0.5, VT::Uint16, uint64_t{1}},
        {-0.7, VT::Uint16, uint64_t{0}},
        {40000.0, VT::Int16, int64_t{32767}},
        {-40000.0, VT::Int16, int64_t{-32768}},
        {uint64_t{70000}, VT::Uint16, uint64_t{65535}},
        {int64_t{-1}, VT::Uint32, uint64_t{0}},
        {std::numeric_limits<uint64_t>::max(), VT::Int64, std::numeric_limits<int64_t>::max()},
        {9.3e18, VT::Int64, std::numeric_limits<int64_t>::max()},
        {1e300, VT::Uint64, std::numeric_limits<uint64_t>::max()},
        {nan, VT::Int32, int64_t{0}},
        {1e39, VT::Float32, static_cast<double>(FLT_MAX)},
        {inf, VT::Float64, DBL_MAX},
        {0.1, VT::Float32, static_cast<double>(0.1f)},
        {int64_t{-7}, VT::Float64, -7.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(TypeName(c.type)) + " from " + std::to_string(AsDouble(c.in)));
        EXPECT_EQ(FitToType(c.in, c.type), c.out);
    }
    EXPECT_TRUE(std::isnan(AsDouble(FitToType(nan, VT::Float32))));
}

TEST(TypedValue, TextAsTheValuesLineShowsIt) {
    const struct {
        TypedValue value;
        VT type;
        const char* text;
    } cases[] = {
        {50.0, VT::Float32, "50.0"},
        {int64_t{-3}, VT::Int16, "-3"},
        {0.1, VT::Float32, "0.1"},
        {1.0 / 3.0, VT::Float32, "0.3333333"},
        {1.0 / 3.0, VT::Float64, "0.333333333333333"},
        {1234567.0, VT::Float32, "1234567.0"},
        {12345678.0, VT::Float32, "1.234568e+07"},
        {1e20, VT::Float32, "1e+20"},
        {-0.0, VT::Float64, "-0.0"},
        {std::numeric_limits<int64_t>::min(), VT::Int64, "-9223372036854775808"},
        {std::numeric_limits<uint64_t>::max(), VT::Uint64, "18446744073709551615"},
        {std::numeric_limits<double>::quiet_NaN(), VT::Float32, "nan"},
    };
    for (const auto& c : cases) EXPECT_EQ(ValueText(c.value, c.type), c.text);
}

TEST(TypedValue, OperatorEntriesAcceptedOrRefusedWithTheRange) {
    const struct {
        const char* text;
        VT type;
        std::optional<TypedValue> value;
        const char* error;
    } cases[] = {
        {"-12.5", VT::Float32, -12.5, ""},
        {" +5 ", VT::Uint16, uint64_t{5}, ""},
        {"-0", VT::Uint16, uint64_t{0}, ""},
        {"-32768", VT::Int16, int64_t{-32768}, ""},
        {"18446744073709551615", VT::Uint64, std::numeric_limits<uint64_t>::max(), ""},
        {"-9223372036854775808", VT::Int64, std::numeric_limits<int64_t>::min(), ""},
        {"3.4028235e38", VT::Float32, static_cast<double>(FLT_MAX), ""},
        {"-32769", VT::Int16, std::nullopt, "-32769 does not fit int16 (-32768 to 32767)"},
        {"65536", VT::Uint16, std::nullopt, "65536 does not fit uint16 (0 to 65535)"},
        {"-1", VT::Uint32, std::nullopt, "-1 does not fit uint32 (0 to 4294967295)"},
        {"18446744073709551616", VT::Uint64, std::nullopt,
         "18446744073709551616 does not fit uint64 (0 to 18446744073709551615)"},
        {"-9223372036854775809", VT::Int64, std::nullopt,
         "-9223372036854775809 does not fit int64 (-9223372036854775808 to 9223372036854775807)"},
        {"1e39", VT::Float32, std::nullopt,
         "1e39 does not fit float32 (-3.402823e+38 to 3.402823e+38)"},
        {"-1e309", VT::Float64, std::nullopt,
         "-1e309 does not fit float64 (-1.79769313486232e+308 to 1.79769313486232e+308)"},
        {"12.5", VT::Int32, std::nullopt, "12.5 is not a whole number"},
        {"0x10", VT::Int16, std::nullopt, "0x10 is not a whole number"},
        {"abc", VT::Float32, std::nullopt, "abc is not a number"},
        {"inf", VT::Float64, std::nullopt, "inf is not a number"},
        {"nan", VT::Float64, std::nullopt, "nan is not a number"},
        {"", VT::Int16, std::nullopt, "a value is needed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ValueEntry entry = ParseValueText(c.text, c.type);
        EXPECT_EQ(entry.value, c.value);
        EXPECT_EQ(entry.error, c.error);
    }
}

}  // namespace
}  // namespace tarvik
