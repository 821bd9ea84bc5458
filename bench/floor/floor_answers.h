// The floor slave's answers: the served functions answered as the emulator
// answers them, without trace or window, as fast as a slave can.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/packet.h"

namespace tarvik::bench {

inline constexpr int kFloorTableSize = 2048;

struct FloorRegisters {
    std::array<uint16_t, kFloorTableSize> holding{};
    std::array<uint16_t, kFloorTableSize> input{};
    uint64_t randomState = 0x9E3779B97F4A7C15u;  // for registers past the table
};

// Answers every whole frame at the front of `stream`, in order, appending
// each answer frame to `out` (and, when `answerEnds` is given, the offset in
// `out` where each answer ends, so datagrams can be cut apart). Returns the
// bytes consumed: whole frames only, the start of an unfinished frame stays.
std::size_t AnswerFrames(FloorRegisters& registers, std::string_view stream, Packet& out,
                         std::vector<std::size_t>* answerEnds = nullptr);

}  // namespace tarvik::bench
