// The six served Modbus functions, each from one frame's header and PDU
// (function code first) to its trace records, table changes and answer, all
// written as steps.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/absent_answer.h"
#include "engine/answer_route.h"
#include "engine/mbap_header.h"
#include "engine/operator_options.h"
#include "engine/random_source.h"
#include "engine/register_tables.h"
#include "engine/steps.h"
#include "engine/unit_tables.h"

namespace tarvik {

class FaultRules;

struct HandlerContext {
    const OperatorOptions& options;
    StepList& out;
    RandomSource& random;
    // The tables of the frame being handled: the one pair, or with units on
    // the addressed unit's, chosen by the frame loop before each handler.
    RegisterTables* tables;
    bool simulatePAT;
    // Function 16 answered with start and quantity only, not the whole echo.
    bool standardWriteAnswer;
    // Where the answers of the frames being handled go.
    AnswerRoute route;
    // With units on, every unit's own tables and what a request to any
    // other unit gets; null with units off. Request lines then name the unit.
    UnitTables* units = nullptr;
    AbsentAnswer absent = AbsentAnswer::GatewayTargetFailed;
    // Tried before each frame's handler; null when there are none.
    FaultRules* faults = nullptr;
};

// Records a function's request line, ending in ", unit N" with units on.
void TraceRequestLine(HandlerContext& ctx, const MbapHeader& header, std::string_view text);

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);

// An exception answer: `functionByte` and the one byte `code`, leaving now or
// after the operator's delay.
void AnswerExceptionByte(HandlerContext& ctx, const MbapHeader& header, int functionByte,
                         uint8_t code, bool viewDebugData);

// Every function code that is neither served nor ignored: 129 with code 02.
void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header);

}  // namespace tarvik
