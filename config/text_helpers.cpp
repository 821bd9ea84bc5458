#include "config/text_helpers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tarvik {

std::string GetField(std::string_view text, int index, char delimiter) {
    std::size_t start = 0;
    std::size_t p = text.find(delimiter);
    while (index > 0) {
        if (p == std::string_view::npos) {
            return {};
        }
        start = p + 1;
        p = text.find(delimiter, start);
        --index;
    }
    if (index < 0) {
        return {};
    }
    if (p == std::string_view::npos) {
        p = text.size();
    }
    return std::string(text.substr(start, p - start));
}

namespace {

bool IsIgnoredSpace(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Value of c as a digit of `base` (8 or 16), or -1.
int DigitValue(char c, int base) {
    int value = -1;
    if (IsDigit(c)) {
        value = c - '0';
    } else if (Upper(c) >= 'A' && Upper(c) <= 'F') {
        value = Upper(c) - 'A' + 10;
    }
    return value < base ? value : -1;
}

double ReadRadix(std::string_view digits, int base) {
    double value = 0.0;
    for (char c : digits) {
        const int d = DigitValue(c, base);
        if (d < 0) {
            break;
        }
        // Grows to infinity on absurdly long texts; the rounding clamps it.
        value = value * base + d;
    }
    return value;
}

// Beyond this an exponent gives infinity or zero whatever the mantissa (no
// text holds that many digits); stop counting so a long run cannot overflow.
constexpr int64_t kExponentCap = 1'000'000'000'000'000;

double ReadDecimal(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t intBegin = i;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
    }
    const std::string_view intDigits = s.substr(intBegin, i - intBegin);
    std::string_view fracDigits;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracBegin = ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
        }
        fracDigits = s.substr(fracBegin, i - fracBegin);
    }
    if (intDigits.empty() && fracDigits.empty()) {
        return 0.0;
    }

    int64_t exponent = 0;
    if (i < s.size() && (Upper(s[i]) == 'E' || Upper(s[i]) == 'D')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
        }
        // An exponent mark without digits is not part of the number.
        for (; j < s.size() && IsDigit(s[j]); ++j) {
            if (exponent < kExponentCap) {
                exponent = exponent * 10 + (s[j] - '0');
            }
        }
        if (expNegative) {
            exponent = -exponent;
        }
    }

    // Significant digits from the first non-zero one, and the power of ten
    // of that first digit.
    std::string digits;
    digits.reserve(intDigits.size() + fracDigits.size());
    int64_t leadPower = 0;
    bool seenNonZero = false;
    for (std::size_t k = 0; k < intDigits.size(); ++k) {
        if (!seenNonZero && intDigits[k] == '0') {
            continue;
        }
        if (!seenNonZero) {
            seenNonZero = true;
            leadPower = static_cast<int64_t>(intDigits.size() - k) - 1;
        }
        digits += intDigits[k];
    }
    for (std::size_t k = 0; k < fracDigits.size(); ++k) {
        if (!seenNonZero && fracDigits[k] == '0') {
            continue;
        }
        if (!seenNonZero) {
            seenNonZero = true;
            leadPower = -static_cast<int64_t>(k) - 1;
        }
        digits += fracDigits[k];
    }
    const double sign = negative ? -1.0 : 1.0;
    if (!seenNonZero) {
        return sign * 0.0;
    }

    const int64_t power = leadPower + exponent;
    if (power > 400) {
        return sign * std::numeric_limits<double>::infinity();
    }
    if (power < -400) {
        return sign * 0.0;
    }

    // from_chars rather than strtod: the decimal point must not follow the
    // user's locale.
    std::string normal;
    normal.reserve(digits.size() + 16);
    normal += digits[0];
    if (digits.size() > 1) {
        normal += '.';
        normal.append(digits, 1, std::string::npos);
    }
    normal += 'e';
    normal += std::to_string(power);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        value = power > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return sign * value;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!IsIgnoredSpace(c)) {
            compact += c;
        }
    }
    const std::string_view s = compact;
    if (s.size() >= 2 && s[0] == '&') {
        if (Upper(s[1]) == 'H') {
            return ReadRadix(s.substr(2), 16);
        }
        if (Upper(s[1]) == 'O') {
            return ReadRadix(s.substr(2), 8);
        }
    }
    return ReadDecimal(s);
}

int32_t RoundHalfEvenToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    // Clamping first is safe: everything beyond the range rounds to the
    // bound anyway, and the cast below never sees an out-of-range value.
    if (value <= kMin) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= kMax) {
        return std::numeric_limits<int32_t>::max();
    }
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1.0;
    }
    return static_cast<int32_t>(rounded);
}

}  // namespace tarvik
