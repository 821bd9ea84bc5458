// Number and byte texts shown to the operator in the trace.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarvik {

// Plain decimal digits: no sign, blank or leading zeros (values are >= 0).
std::string Decimal(int64_t value);

// Two upper-case hex digits of a byte 0..255.
std::string Hex2(int value);

// Four upper-case hex digits, zero-filled; of a longer form only the last four.
std::string Hex4(int64_t value);


// How bytes handed to the trace are shown.
enum class HexForm : uint8_t {
    Bytes,  // "XX " per byte: the raw dumps and most answers' data
    Words,  // "XXXX" per big-endian word, no blank: function 4's values
};

namespace detail {
// "XY " for every byte value: one table read and one three-byte copy a byte.
struct HexTriples {
    char text[256][4];
    constexpr HexTriples() : text() {
        constexpr char kDigits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            text[b][0] = kDigits[b >> 4];
            text[b][1] = kDigits[b & 0xF];
            text[b][2] = ' ';
        }
    }
};
inline constexpr HexTriples kHexTriples{};
}  // namespace detail

// Four upper-case hex digits of the last 16 bits of `value`, written at `to`;
// returns the end. Every four-digit form in the trace is made here.
inline char* PutHex4(char* to, int64_t value) {
    std::memcpy(to, detail::kHexTriples.text[(value >> 8) & 0xFF], 2);
    std::memcpy(to + 2, detail::kHexTriples.text[value & 0xFF], 2);
    return to + 4;
}

// Appends `bytes` in `form`; of Words, a last odd byte is left out.
inline void AppendHex(std::string& out, std::string_view bytes, HexForm form) {
    // Sized once and filled through a pointer: a dump of 64 KiB makes no
    // capacity check per character.
    const std::size_t at = out.size();
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    if (form == HexForm::Bytes) {
        out.resize(at + 3 * bytes.size());
        char* to = out.data() + at;
        for (std::size_t i = 0; i < bytes.size(); ++i, to += 3) {
            std::memcpy(to, detail::kHexTriples.text[from[i]], 3);
        }
        return;
    }
    const std::size_t whole = bytes.size() & ~std::size_t{1};
    out.resize(at + 2 * whole);
    char* to = out.data() + at;
    for (std::size_t i = 0; i < whole; ++i, to += 2) {
        std::memcpy(to, detail::kHexTriples.text[from[i]], 2);
    }
}

// The text of one register of a multiple register write, after the
// request line's identifier: "Registervalue <number>, value <hex4>".
inline void AppendRegisterValueText(std::string& out, int64_t number, int32_t value) {
    // Made by the hundred per write: no temporary strings.
    char decimal[24];
    const auto end = std::to_chars(decimal, decimal + sizeof decimal, number).ptr;
    out += "Registervalue ";
    out.append(decimal, static_cast<std::size_t>(end - decimal));
    out += ", value ";
    char hex[4];
    out.append(hex, static_cast<std::size_t>(PutHex4(hex, value) - hex));
}

}  // namespace tarvik
