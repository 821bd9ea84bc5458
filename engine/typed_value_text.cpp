// The texts of typed values: what --values and the window show, and what an
// operator may type in. to_chars and from_chars ignore the process locale,
// which a Qt program sets from the environment.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <type_traits>
#include <utility>

#include "engine/typed_value.h"

namespace tarvik {

namespace {

// Doubles below this round to FLT_MAX as floats; from it on they overflow.
constexpr double kFloat32Limit = static_cast<double>(FLT_MAX) + 0x1p103;

enum class Scan { Bad, OutOfRange, Ok };

std::string_view TrimmedBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t Digits(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && IsDigit(text[end])) ++end;
    return end - at;
}

// [+-] digits [. digits] [(e|E) [+-] digits], at least one mantissa digit.
bool IsDecimalText(std::string_view text) {
    std::size_t at = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    std::size_t mantissa = Digits(text, at);
    at += mantissa;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = Digits(text, at + 1);
        mantissa += fraction;
        at += 1 + fraction;
    }
    if (mantissa == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const std::size_t exponent = Digits(text, at);
        if (exponent == 0) return false;
        at += exponent;
    }
    return at == text.size();
}

Scan ScanDouble(std::string_view text, double& out) {
    if (!IsDecimalText(text)) return Scan::Bad;
    // from_chars takes no leading "+".
    if (text.front() == '+') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    if (result.ec == std::errc::result_out_of_range) return Scan::OutOfRange;
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(out)) {
        return Scan::Bad;
    }
    return Scan::Ok;
}

// [+-] digits, as a sign and a magnitude.
Scan ScanInteger(std::string_view text, bool& negative, uint64_t& magnitude) {
    negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
    if (text.empty() || Digits(text, 0) != text.size()) return Scan::Bad;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (result.ec == std::errc::result_out_of_range) return Scan::OutOfRange;
    return result.ec == std::errc() && result.ptr == text.data() + text.size() ? Scan::Ok
                                                                               : Scan::Bad;
}

std::string RangeText(ValueType type) {
    if (IsFloat(type)) {
        const double high = type == ValueType::Float32 ? FLT_MAX : DBL_MAX;
        return ValueText(-high, type) + " to " + ValueText(high, type);
    }
    const TypedValue low = FitToType(std::numeric_limits<double>::lowest(), type);
    const TypedValue high = FitToType(std::numeric_limits<double>::max(), type);
    return ValueText(low, type) + " to " + ValueText(high, type);
}

ValueEntry OutOfRange(std::string_view text, ValueType type) {
    return {std::nullopt, std::string(text) + " does not fit " + std::string(TypeName(type)) +
                              " (" + RangeText(type) + ")"};
}

ValueEntry ParseInteger(std::string_view text, ValueType type) {
    bool negative = false;
    uint64_t magnitude = 0;
    const Scan scan = ScanInteger(text, negative, magnitude);
    if (scan == Scan::Bad) return {std::nullopt, std::string(text) + " is not a whole number"};
    if (scan == Scan::OutOfRange) return OutOfRange(text, type);
    TypedValue value;
    if (!negative) {
        value = magnitude;
    } else if (magnitude <= uint64_t{1} << 63) {
        // Two's complement of the magnitude; exact down to INT64_MIN.
        value = static_cast<int64_t>(0 - magnitude);
    } else {
        return OutOfRange(text, type);
    }
    const TypedValue fitted = FitToType(value, type);
    const bool fits = std::visit(
        [](auto a, auto b) {
            if constexpr (std::is_integral_v<decltype(a)> && std::is_integral_v<decltype(b)>) {
                return std::cmp_equal(a, b);
            } else {
                return false;
            }
        },
        value, fitted);
    if (!fits) return OutOfRange(text, type);
    return {FitToType(value, type), {}};
}

}  // namespace

std::optional<double> ParseDecimalNumber(std::string_view text) {
    double value = 0.0;
    if (ScanDouble(text, value) != Scan::Ok) return std::nullopt;
    return value;
}

std::string ValueText(const TypedValue& value, ValueType type) {
    char buffer[64];
    const TypedValue fitted = FitToType(value, type);
    if (!IsFloat(type)) {
        const auto end = std::visit(
            [&](auto v) { return std::to_chars(buffer, buffer + sizeof buffer, v).ptr; }, fitted);
        return std::string(buffer, end);
    }
    const int digits = type == ValueType::Float32 ? 7 : 15;
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(fitted),
                                   std::chars_format::general, digits)
                         .ptr;
    std::string text(buffer, end);
    if (text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
    return text;
}

ValueEntry ParseValueText(std::string_view text, ValueType type) {
    text = TrimmedBlanks(text);
    if (text.empty()) return {std::nullopt, "a value is needed"};
    if (!IsFloat(type)) return ParseInteger(text, type);
    double value = 0.0;
    const Scan scan = ScanDouble(text, value);
    if (scan == Scan::Bad) return {std::nullopt, std::string(text) + " is not a number"};
    if (scan == Scan::OutOfRange ||
        (type == ValueType::Float32 && std::fabs(value) >= kFloat32Limit)) {
        return OutOfRange(text, type);
    }
    return {FitToType(value, type), {}};
}

}  // namespace tarvik
