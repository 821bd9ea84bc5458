// The requests the load generator sends, and the register values it writes,
// so that answers can be checked against values known in advance.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/packet.h"

namespace tarvik::bench {

inline constexpr int kTableSize = 2048;
// The byte count of a read answer is one byte: 2 x 127 is the most it holds.
inline constexpr int kMaxReadQuantity = 127;
// A standard frame carries at most 123 register values.
inline constexpr int kMaxWriteQuantity = 123;
// The longest answer length field any request here can earn: a read of 127
// registers (unit, function, byte count, 254 data bytes) is 257.
inline constexpr std::size_t kMaxAnswerLength = 300;

struct RequestShape {
    int function = 3;   // 3, 4, 6 or 16
    int start = 0;      // first register address
    int quantity = 10;  // registers per request (6 always writes one)
    int unit = 1;
};

// The value written to `address` before a run that reads it back.
int32_t PrimedValue(int address);

// The value request number `sequence` writes to `address`: it changes from
// request to request, so an echo of another request's values shows up.
int32_t WrittenValue(int address, uint64_t sequence);

// One whole request frame, protocol identifier 0.
Packet BuildRequest(const RequestShape& shape, int transactionId, uint64_t sequence);

}  // namespace tarvik::bench
