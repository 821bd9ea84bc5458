// The six served Modbus functions, each from one frame's header and PDU
// (function code first) to its trace records, table changes and answer, all
// written as steps.
#pragma once

#include <string_view>

#include "engine/answer_route.h"
#include "engine/mbap_header.h"
#include "engine/operator_options.h"
#include "engine/random_source.h"
#include "engine/register_tables.h"
#include "engine/steps.h"

namespace tarvik {

class FaultRules;

struct HandlerContext {
    const OperatorOptions& options;
    StepList& out;
    RandomSource& random;
    RegisterTables& tables;
    bool simulatePAT;
    // Function 16 answered with start and quantity only, not the whole echo.
    bool standardWriteAnswer;
    // Where the answers of the frames being handled go.
    AnswerRoute route;
    // Tried before each frame's handler; null when there are none.
    FaultRules* faults = nullptr;
};

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);
void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);

// Every function code that is neither served nor ignored: 129 with code 02.
void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header);

}  // namespace tarvik
