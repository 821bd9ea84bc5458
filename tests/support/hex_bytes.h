// Frames written and read as "00 01 0A" text, so expected wire bytes read
// the way a capture shows them.
#pragma once

#include <sstream>
#include <string>

#include "engine/packet.h"

namespace tarvik::testing {

// "00 01 0A" -> bytes.
inline Packet Bytes(const std::string& hex) {
    Packet out;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    return out;
}

// bytes -> "00 01 0A".
inline std::string HexOf(const Packet& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const unsigned char b : bytes) {
        if (!text.empty()) text += ' ';
        text += {digits[b >> 4], digits[b & 0xF]};
    }
    return text;
}

}  // namespace tarvik::testing
