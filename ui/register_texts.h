// Texts and places shown by the register panes and the holding-register list.
// Plain C++, so the formats are checked without a window.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

enum class RegisterKind { Holding, Input };

// Caption of a pane's frame for the selected register n:
// "Holding register 12 (Citect address 40013)", "Input register 511 (Citect address 30512)".
std::string PaneCaption(RegisterKind kind, int32_t selected);

// The list shows holding registers 1..99.
inline constexpr int kListedHoldingRegisters = 99;

// Line k of the holding-register list: "40007: 1234". The label is 40000 + k,
// one less than the Citect address the pane shows for the same register.
std::string HoldingListLine(int k, int32_t value);

inline constexpr int kBitsPerRegister = 16;

// Left edge, in twips inside its frame, of the box of bit i (0..15): bit 15 at
// the left, steps of 240 within a group of four bits and 360 between groups.
constexpr int BitBoxLeftTwips(int bit) { return 4140 - 240 * bit - 120 * (bit / 4); }

}  // namespace tarvik
