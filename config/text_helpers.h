// Small text helpers for settings values and the operator's delay text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

// Field number `index` (0-based) of `text` split at `delimiter`; empty fields
// count, and an index past the last field or below 0 gives the empty text.
std::string GetField(std::string_view text, int index, char delimiter);

// The number `text` begins with, 0 when it has no digits. Blanks, tabs and
// line feeds are ignored wherever they stand; sign, digits, decimal point,
// exponent E or D; &H and &O prefixes read hexadecimal and octal.
double LeadingNumber(std::string_view text);

// Nearest whole number, a half to the even neighbour, clamped to the signed
// 32-bit range (NaN gives 0).
int32_t RoundHalfEvenToInt32(double value);

// The text beside "Delay answer" as milliseconds: its leading number,
// rounded half to even (a text without one is 0).
inline int32_t DelayMsOf(std::string_view text) {
    return RoundHalfEvenToInt32(LeadingNumber(text));
}

}  // namespace tarvik
