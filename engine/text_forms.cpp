#include "engine/text_forms.h"

namespace tarvik {
namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string Decimal(int64_t value) { return std::to_string(value); }

std::string Hex2(int value) {
    std::string text(2, '0');
    text[0] = kHexDigits[(value >> 4) & 0xF];
    text[1] = kHexDigits[value & 0xF];
    return text;
}

std::string Hex4(int64_t value) {
    // Only the last four digits of a longer form are kept.
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

void AppendHex2Blank(std::string& out, int value) {
    out.push_back(kHexDigits[(value >> 4) & 0xF]);
    out.push_back(kHexDigits[value & 0xF]);
    out.push_back(' ');
}

}  // namespace tarvik
