#include "slave/core_faults.h"

#include "config/settings_file.h"
#include "engine/text_forms.h"
#include "slave/trace_outputs.h"

namespace tarvik {

void CoreFaults::Take(const FaultsSection& section) {
    present_ = section.present;
    rules_ = FaultRules(section.error ? std::vector<FaultRule>{} : section.rules);
}

bool CoreFaults::Reload(const std::string& path, ReloadReport& report) {
    const SettingsFile file = SettingsFile::AtPath(path);
    if (!file.Readable()) {
        // Without rules before or now there is nothing to keep or to tell.
        if (!present_) return false;
        report.errors.push_back("Cannot read settings file " + file.Path() + ": " + file.Reason());
        return false;
    }
    const FaultsSection section = ReadFaultsSection(file);
    if (section.error) {
        report.errors.push_back(section.error->Text());
        return false;
    }
    const bool told = present_ || section.present;
    Take(section);
    if (told) {
        report.notices.push_back(
            NoticeLine("Fault rules reloaded: " + Decimal(static_cast<int64_t>(rules_.Size()))));
    }
    return true;
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
