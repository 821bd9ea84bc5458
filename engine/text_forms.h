// Number texts shown to the operator in the trace.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

// Plain decimal digits: no sign, blank or leading zeros (values are >= 0).
std::string Decimal(int64_t value);

// Two upper-case hex digits of a byte 0..255.
std::string Hex2(int value);

// Four upper-case hex digits, zero-filled; of a longer form only the last four.
std::string Hex4(int64_t value);

// Appends Hex2(value) and one blank: the unit of every byte dump.
void AppendHex2Blank(std::string& out, int value);

}  // namespace tarvik
