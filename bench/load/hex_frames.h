// Test helpers: frames written as spaced hex ("00 01 00 00 00 06 01 03 ...").
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

namespace tarvik::bench::testing {

inline std::string Bytes(std::string_view hex) {
    std::istringstream in{std::string(hex)};
    std::string bytes;
    for (unsigned value = 0; in >> std::hex >> value;) bytes.push_back(static_cast<char>(value));
    return bytes;
}

inline std::string Hex(std::string_view bytes) {
    std::string text;
    char pair[4];
    for (unsigned char byte : bytes)
        text.append(pair, std::snprintf(pair, sizeof pair, " %02X", byte));
    return text.empty() ? text : text.substr(1);
}

}  // namespace tarvik::bench::testing
