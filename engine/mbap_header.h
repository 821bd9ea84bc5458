// The header record of one Modbus/TCP frame.
#pragma once

#include <cstdint>

namespace tarvik {

struct MbapHeader {
    int32_t TransactionIdentifier = 0;  // frame bytes 0..1
    int32_t ProtocolIdentifier = 0;     // frame bytes 2..3
    int32_t Length = 0;                 // frame bytes 4..5: bytes after this field
    int32_t UnitIdentifier = 0;         // frame byte 6
};

}  // namespace tarvik
