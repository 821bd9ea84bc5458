// The canned answers to Read Holding Registers while SimulatePAT is on,
// each chosen by an exact pair of start address and quantity.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvik {

struct FixedAnswer {
    int32_t start;
    int32_t quantity;
    std::string_view data;  // byte count first
};

inline constexpr std::array<FixedAnswer, 8> FixedAnswers{{
    {300, 4, std::string_view("\x08\x99\x9A\x99\x99\x99\x99\x40\x24", 9)},
    {304, 4, std::string_view("\x08\x33\x33\x33\x33\x33\x33\x40\x37", 9)},
    {317, 4, std::string_view("\x08\x07\xDD\x07\x0C\x08\x2E\x31\x00", 9)},
    {114, 2, std::string_view("\x04\x00\x0F\x2E\x19", 5)},
    {34, 2, std::string_view("\x04\x07\xD7\x0A\x05", 5)},
    {100, 2, std::string_view("\x04\xC0\xA8\x00\x01", 5)},
    {38, 2, std::string_view("\x04\x00\x12\x00\x34", 5)},
    {40, 2, std::string_view("\x04\x12\x34\x56\x78", 5)},
}};

// The first row whose pair equals (start, quantity), if any.
inline std::optional<std::string_view> FindFixedAnswer(int32_t start, int32_t quantity) {
    for (const FixedAnswer& row : FixedAnswers) {
        if (row.start == start && row.quantity == quantity) return row.data;
    }
    return std::nullopt;
}

}  // namespace tarvik
