#include "ui/register_texts.h"

#include "engine/text_forms.h"

namespace tarvik {

std::string PaneCaption(RegisterKind kind, int32_t selected) {
    const bool holding = kind == RegisterKind::Holding;
    const int64_t citect = int64_t{selected} + (holding ? 40001 : 30001);
    return std::string(holding ? "Holding register " : "Input register ") + Decimal(selected) +
           " (Citect address " + Decimal(citect) + ")";
}

std::string HoldingListLine(int k, int32_t value) {
    return Decimal(40000 + k) + ": " + Decimal(value);
}

}  // namespace tarvik
