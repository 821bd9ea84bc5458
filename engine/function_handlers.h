// The six served Modbus functions, each from one frame's header and PDU
// (function code first) to its trace lines, table changes and answer.
#pragma once

#include "engine/mbap_header.h"
#include "engine/packet.h"
#include "engine/ports.h"
#include "engine/register_tables.h"

namespace tarvik {

struct HandlerContext {
    const OperatorOptions& options;
    TraceWriter& trace;
    AnswerDispatch& dispatch;
    RandomSource& random;
    RegisterTables& tables;
    bool simulatePAT;
    // Function 16 answered with start and quantity only, not the whole echo.
    bool standardWriteAnswer;
};

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);
void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);
void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);
void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);
void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);
void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu);

// Every function code that is neither served nor ignored: 129 with code 02.
void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header);

}  // namespace tarvik
