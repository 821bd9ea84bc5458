// Assembly of one Modbus/TCP answer frame.
#pragma once

#include "engine/mbap_header.h"
#include "engine/packet.h"

namespace tarvik {

// Transaction and protocol identifiers of the request, length = data + 2,
// unit identifier, the function byte, then the answer data.
Packet AssembleAnswer(const MbapHeader& header, int functionByte, const Packet& answerData);

}  // namespace tarvik
