#include "engine/fault_step.h"

#include "engine/fault_rules.h"
#include "engine/function_codes.h"
#include "engine/request_line.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

// Where the fault line goes among the steps a handler recorded from `mark`
// on: after its first request line, or where that line would stand.
std::size_t FaultLineAt(const StepList& out, std::size_t mark) {
    for (std::size_t i = mark; i < out.size(); ++i) {
        if (out[i].kind == StepKind::Request) return i + 1;
    }
    return mark;
}

void AnswerFaultException(HandlerContext& ctx, const MbapHeader& header, int functionByte,
                          int32_t code) {
    ctx.out.BeginAnswer(header, functionByte | kExceptionBit).push_back(static_cast<char>(code));
    // Sent like every other answer, so it keeps its place behind answers the
    // operator's delay holds.
    const bool delayed = ctx.options.delayAnswer;
    ctx.out.EndAnswer(ctx.route, delayed ? Departure::Delayed : Departure::Now,
                      delayed ? ctx.options.delayMs : 0, ctx.options.showRawData);
}

}  // namespace

FaultOutcome ApplyFaultRules(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu,
                             FrameHandler handle) {
    const int function = static_cast<unsigned char>(pdu[0]);
    const std::optional<FiredFault> fired =
        ctx.faults->Decide(header.UnitIdentifier, function, pdu, ctx.random);
    if (!fired) return FaultOutcome::NotFired;
    const FaultAction& action = fired->action;

    if (action.kind == FaultActionKind::Delay) {
        // The normal handling, writes included, with the rule's delay for
        // its answer whatever "Delay answer" says.
        OperatorOptions late = ctx.options;
        late.delayAnswer = true;
        late.delayMs = action.value;
        HandlerContext lateCtx{
            late,      ctx.out,   ctx.random, ctx.tables, ctx.simulatePAT, ctx.standardWriteAnswer,
            ctx.route, ctx.units, ctx.absent, nullptr};
        const std::size_t mark = ctx.out.size();
        handle(lateCtx, header, pdu);
        ctx.out.Trace(StepKind::Request, header, FaultTraceText(fired->name, action));
        ctx.out.MoveLastTo(FaultLineAt(ctx.out, mark));
        return FaultOutcome::Handled;
    }

    if (const auto line = RequestLineOf(ctx.options, pdu)) TraceRequestLine(ctx, header, *line);
    ctx.out.Trace(StepKind::Request, header, FaultTraceText(fired->name, action));
    switch (action.kind) {
        case FaultActionKind::Exception:
            AnswerFaultException(ctx, header, function, action.value);
            return FaultOutcome::Handled;
        case FaultActionKind::Close:
            // A datagram has no connection to close: as silent.
            if (ctx.route.udp) return FaultOutcome::Handled;
            ctx.out.Close(ctx.route);
            return FaultOutcome::CloseStream;
        case FaultActionKind::Silent:
        case FaultActionKind::Delay: break;
    }
    return FaultOutcome::Handled;
}

}  // namespace tarvik
