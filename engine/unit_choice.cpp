#include "engine/unit_choice.h"

#include <cstdint>
#include <string>

#include "engine/function_codes.h"
#include "engine/text_forms.h"

namespace tarvik {

bool ChooseUnit(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (RegisterTables* tables = ctx.units->Of(header.UnitIdentifier)) {
        ctx.tables = tables;
        return true;
    }
    // Written always: a master talking to the wrong unit is what the
    // operator most needs to see, reads or not.
    ctx.out.Trace(StepKind::Request, header,
                  "Unit " + Decimal(header.UnitIdentifier) + " not served");
    if (ctx.absent != AbsentAnswer::Silent) {
        const int functionByte = static_cast<unsigned char>(pdu[0]) | kExceptionBit;
        AnswerExceptionByte(ctx, header, functionByte, ExceptionCodeOf(ctx.absent),
                            ctx.options.showRawData);
    }
    return false;
}

}  // namespace tarvik
