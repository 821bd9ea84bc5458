#include "engine/frame_loop.h"

#include <string_view>

#include "engine/fault_step.h"
#include "engine/function_codes.h"
#include "engine/text_forms.h"
#include "engine/unit_choice.h"

namespace tarvik {
namespace {

void HandleFrame(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    switch (static_cast<FunctionCode>(static_cast<unsigned char>(pdu[0]))) {
        case FunctionCode::ReadCoils:
        case FunctionCode::ReadDiscreteInputs: break;  // never answered
        case FunctionCode::ReadHoldingRegisters: ReadHoldingRegisters(ctx, header, pdu); break;
        case FunctionCode::ReadInputRegisters: ReadInputRegisters(ctx, header, pdu); break;
        case FunctionCode::WriteSingleCoil: WriteSingleCoil(ctx, header, pdu); break;
        case FunctionCode::WriteSingleRegister: WriteSingleRegister(ctx, header, pdu); break;
        case FunctionCode::WriteMultipleCoils: WriteMultipleCoils(ctx, header, pdu); break;
        case FunctionCode::WriteMultipleRegisters: WriteMultipleRegisters(ctx, header, pdu); break;
        default: AnswerUnsupportedFunction(ctx, header); break;
    }
}

}  // namespace

bool SliceSpent(const StepList& out) {
    return out.MeteredBytes() >= kReleaseSliceBytes || out.size() >= kReleaseSliceSteps;
}

bool AnswerWholeFrames(FrameBuffer& buffer, HandlerContext& ctx) {
    const std::string_view bytes = buffer.View();
    // Frames are cut by offset and the buffer trimmed once per pass, so an
    // arrival of many frames costs linear time.
    std::size_t offset = 0;
    bool wholeFrameWaits = false;
    while (bytes.size() - offset >= kHeaderSize) {
        const MbapHeader header = DecodeHeader(bytes, offset);
        const std::size_t frameSize = kBytesBeforeUnit + static_cast<std::size_t>(header.Length);
        const bool complete = bytes.size() - offset >= frameSize;
        // Checked first, so the next pass writes the line below only once.
        if (SliceSpent(ctx.out)) {
            wholeFrameWaits = complete;
            break;
        }
        if (header.Length == 1) {
            // Written before the hold-back test: while "Don't answer" keeps such
            // a frame at the front, every arrival writes it again.
            ctx.out.Trace(StepKind::Request, header,
                          "Empty packet, ProtocolIdentifier " + Hex4(header.ProtocolIdentifier));
        }
        if (ctx.options.dontAnswer || !complete) break;
        if (header.Length > 1) {
            const std::string_view pdu =
                bytes.substr(offset + kHeaderSize, frameSize - kHeaderSize);
            // The unit first (tested here: with units off, the one table
            // costs no call), then the rules, then the function itself. An
            // absent unit's request is answered as such and tries no rule.
            if (ctx.units == nullptr || ChooseUnit(ctx, header, pdu)) {
                const FaultOutcome fault = ctx.faults == nullptr
                                               ? FaultOutcome::NotFired
                                               : ApplyFaultRules(ctx, header, pdu, HandleFrame);
                if (fault == FaultOutcome::NotFired) HandleFrame(ctx, header, pdu);
                // Closed: nothing more of this arrival, nor of what was held, is answered.
                if (fault == FaultOutcome::CloseStream) {
                    buffer.Clear();
                    return false;
                }
            }
        }
        offset += frameSize;
    }
    buffer.Consume(offset);
    return wholeFrameWaits;
}

}  // namespace tarvik
