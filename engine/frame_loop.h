// The frame loop: cuts whole frames from the front of a receive buffer and
// hands each to the handler of its function code, in order.
#pragma once

#include <cstddef>

#include "engine/frame_buffer.h"
#include "engine/function_handlers.h"

namespace tarvik {

// Answer bytes one pass of the event loop may hand on; whole frames beyond
// that wait for the next pass, so a released hold never becomes one burst.
inline constexpr std::size_t kReleaseSliceBytes = std::size_t{64} * 1024;
// Steps one pass may make: frames that are answered by nothing (empty
// packets, ignored functions) would otherwise let a held buffer of tens of
// megabytes become one list of millions of trace records.
inline constexpr std::size_t kReleaseSliceSteps = 16 * 1024;

// True when ctx.out holds a pass's worth of answers or steps.
bool SliceSpent(const StepList& out);

// Answers whole frames from the front of `buffer` into ctx.out. Stops when
// "Don't answer" is checked, when the next frame is not complete, or when
// the slice is spent; true when it stopped for the slice with a whole frame
// waiting.
bool AnswerWholeFrames(FrameBuffer& buffer, HandlerContext& ctx);

}  // namespace tarvik
