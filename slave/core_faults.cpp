#include "slave/core_faults.h"

#include "engine/text_forms.h"
#include "slave/trace_outputs.h"

namespace tarvik {

void CoreFaults::Take(const FaultsSection& section) {
    present_ = section.present;
    rules_ = FaultRules(section.error ? std::vector<FaultRule>{} : section.rules);
}

void CoreFaults::Replace(const FaultsSection& section, ReloadReport& report) {
    const bool told = present_ || section.present;
    Take(section);
    if (told) {
        report.notices.push_back(
            NoticeLine("Fault rules reloaded: " + Decimal(static_cast<int64_t>(rules_.Size()))));
    }
}

std::string FaultRulesNotice(const FaultRules& rules) {
    std::string text = "Fault rules: ";
    if (rules.Empty()) return text + "none";
    for (std::size_t i = 0; i < rules.Size(); ++i) {
        if (i > 0) text += ", ";
        text += rules.Rules()[i].name;
    }
    return text;
}

}  // namespace tarvik
