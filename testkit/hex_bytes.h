// Frames written and read as "00 01 0A" text, so expected wire bytes read
// the way a capture shows them.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::testing {

// "00 01 0A" -> bytes. A pair that is not hex throws, so a mistyped
// expectation fails loudly instead of asserting other bytes.
inline Packet Bytes(std::string_view hex) {
    const auto digit = [hex](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw std::invalid_argument("not hex bytes: " + std::string(hex));
    };
    Packet out;
    out.reserve(hex.size() / 3 + 1);
    int value = 0;
    int digits = 0;
    for (const char c : hex) {
        if (c == ' ' || c == '\n' || c == '\t') {
            if (digits > 0) out.push_back(static_cast<char>(value));
            value = digits = 0;
            continue;
        }
        if (++digits > 2) throw std::invalid_argument("not hex bytes: " + std::string(hex));
        value = 16 * value + digit(c);
    }
    if (digits > 0) out.push_back(static_cast<char>(value));
    return out;
}

// bytes -> "00 01 0A".
inline std::string HexOf(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const unsigned char b : bytes) {
        if (!text.empty()) text += ' ';
        text += {kDigits[b >> 4], kDigits[b & 0xF]};
    }
    return text;
}

}  // namespace tarvik::testing
