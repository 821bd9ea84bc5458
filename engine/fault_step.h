// The fault rules in the frame loop: tried for each whole frame before its
// function's handler. A rule that fires replaces the handler; its trace line
// stands right after the function's request line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/function_handlers.h"

namespace tarvik {

enum class FaultOutcome : uint8_t {
    NotFired,     // no rule fired: the function's handler answers
    Handled,      // a rule fired and its steps are recorded
    CloseStream,  // a close: the steps end with it, the rest of the arrival goes
};

using FrameHandler = void (*)(HandlerContext&, const MbapHeader&, std::string_view);

// Tries ctx.faults (which must be set) for one frame. `handle` is the normal
// handling, run by a firing `delay` with that delay in place of the
// operator's.
FaultOutcome ApplyFaultRules(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu,
                             FrameHandler handle);

}  // namespace tarvik
