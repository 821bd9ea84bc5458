// The process image: two tables of 2048 sixteen-bit registers.
#pragma once

#include <array>
#include <cstdint>

namespace tarvik {

inline constexpr int kRegisterCount = 2048;

using RegisterTable = std::array<int32_t, kRegisterCount>;

// Every entry holds 0..65535; every writer checks its index against
// kRegisterCount before touching a table.
struct RegisterTables {
    RegisterTable HoldingRegisters{};
    RegisterTable InputRegisters{};
};

// The operator's bit edits: OR to set, AND with the mask XOR 65535 to clear
// (which also clears anything above bit 15).
inline int32_t WithBitSet(int32_t entry, int bit) { return entry | (1 << bit); }
inline int32_t WithBitCleared(int32_t entry, int bit) { return entry & ((1 << bit) ^ 65535); }

}  // namespace tarvik
