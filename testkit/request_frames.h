// Modbus/TCP request frames as a master builds them: the seven-byte header
// (transaction, protocol 0, length, unit) before the PDU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::testing {

// Appends the header of a frame whose PDU is `pduSize` bytes long.
void AppendMbapHeader(Packet& frame, int transaction, int unit, std::size_t pduSize);

// Any PDU, well formed or not, behind its header.
Packet Frame(int transaction, int unit, std::string_view pdu);

// Function 3 or 4 (or any other with the same layout).
Packet ReadRequest(int transaction, int function, int start, int quantity, int unit = 1);
Packet WriteSingleRequest(int transaction, int address, int value, int unit = 1);
// Function 16 with its data given as bytes (two per register, or a wrong
// number on purpose).
Packet WriteMultipleRequest(int transaction, int start, std::string_view words, int unit = 1);
// Function 16 writing `values` from `start` on.
Packet WriteValuesRequest(int transaction, int start, std::span<const int32_t> values,
                          int unit = 1);

}  // namespace tarvik::testing
