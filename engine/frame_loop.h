// The frame loop: cuts whole frames from the front of a receive buffer and
// hands each to the handler of its function code, in order.
#pragma once

#include <cstddef>

#include "engine/frame_buffer.h"
#include "engine/function_handlers.h"
#include "engine/ports.h"

namespace tarvik {

// Answer bytes one pass of the event loop may hand on; whole frames beyond
// that wait for the next pass, so a released hold never becomes one burst.
inline constexpr std::size_t kReleaseSliceBytes = std::size_t{64} * 1024;

// Hands answers on and counts their bytes (header and function byte
// included) for the slice.
class AnswerMeter : public AnswerDispatch {
public:
    explicit AnswerMeter(AnswerDispatch& next) : next_(next) {}
    void DispatchAnswer(const MbapHeader& header, int functionByte, const Packet& answerData,
                        bool viewDebugData) override;

    void StartPass() { produced_ = 0; }
    bool SliceSpent() const { return produced_ >= kReleaseSliceBytes; }

private:
    AnswerDispatch& next_;
    std::size_t produced_ = 0;
};

// Answers whole frames from the front of `buffer` (ctx.dispatch is `meter`).
// Stops when "Don't answer" is checked, when the next frame is not complete,
// or when the meter's slice is spent; true when it stopped for the slice
// with a whole frame waiting.
bool AnswerWholeFrames(FrameBuffer& buffer, HandlerContext& ctx, const AnswerMeter& meter);

}  // namespace tarvik
