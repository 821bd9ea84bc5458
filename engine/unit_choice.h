// The first decision for every frame cut from a receive buffer: which unit's
// tables it goes to, or, for a unit not served, its Absent answer instead of
// any handling.
#pragma once

#include <string_view>

#include "engine/function_handlers.h"
#include "engine/mbap_header.h"

namespace tarvik {

// With units on (ctx.units set), the frame's unit's tables into ctx.tables and true; for a unit not
// served, the line "Unit N not served" (whatever "Show reads" says), the Absent answer (the
// function byte with its exception bit, 0B or 0A) unless silent, and false: the frame goes no
// further and changes nothing. `pdu` holds at least the function byte.
bool ChooseUnit(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu);

}  // namespace tarvik
