#include "engine/text_forms.h"

namespace tarvik {

std::string Decimal(int64_t value) { return std::to_string(value); }

std::string Hex2(int value) { return std::string(detail::kHexTriples.text[value & 0xFF], 2); }

std::string Hex4(int64_t value) {
    // Only the last four digits of a longer form are kept.
    std::string text(4, '0');
    PutHex4(text.data(), value);
    return text;
}

}  // namespace tarvik
