// The fault rules as the core keeps them: taken from the start-up reading of
// the settings file, replaced by a reload's reading, switched one by one by
// the window. The engine holds the rules and their counts; this keeps
// whether the section is there at all, which decides what the faces show.
#pragma once

#include <string>
#include <vector>

#include "config/faults_section.h"
#include "engine/fault_rules.h"
#include "slave/core_reload.h"

namespace tarvik {

class CoreFaults {
public:
    explicit CoreFaults(FaultRules& rules) : rules_(rules) {}

    // A section with an error gives no rules (present stays as read).
    void Take(const FaultsSection& section);
    bool Present() const { return present_; }
    FaultRules& Rules() { return rules_; }
    const FaultRules& Rules() const { return rules_; }

    // A reload's rules, every rule on and every count at 0, with
    // "Fault rules reloaded: N" when the section is in the new reading or
    // was in the old one. The caller refuses a section with an error.
    void Replace(const FaultsSection& section, ReloadReport& report);

private:
    FaultRules& rules_;
    bool present_ = false;
};

// "Fault rules: Busy, Flaky" (or "Fault rules: none"), the start-up notice.
std::string FaultRulesNotice(const FaultRules& rules);

}  // namespace tarvik
