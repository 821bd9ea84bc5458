// Judges one answer frame against the request frame that asked for it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tarvik::bench {

enum class AnswerFault {
    None,
    TransactionId,  // not the request's
    ProtocolId,     // not the request's
    UnitId,         // not echoed
    FunctionByte,   // an exception, or another function
    Size,           // the frame is not as long as its function needs
    ByteCount,      // a read's byte count is not 2 x quantity
    Values,         // a read register differs from the value known for it
    Echo,           // a write's answer does not repeat what was asked
};

// Short name for messages ("function byte", "echo", ...).
std::string_view FaultName(AnswerFault fault);

// `request` and `answer` are whole frames, header included. For reads,
// `knownValues` holds the value each register must have, -1 where it is not
// known (past the table, or never primed); it may be empty. A write of
// function 16 passes with the full echo of the request or with the standard
// short answer of start and quantity.
AnswerFault CheckAnswer(std::string_view request, std::string_view answer,
                        std::span<const int32_t> knownValues);

}  // namespace tarvik::bench
