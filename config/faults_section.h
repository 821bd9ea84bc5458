// The [Faults] section: one fault rule per line,
//   NAME=unit,function,addresses,action[,when]
// tried from the top at run time. The whole section is taken or, at the
// first bad line, none of it.
//
// Blanks and tabs around every field, around a range's "-" and between a
// word and its number are allowed. The words (exception, silent, delay,
// close, always, every, chance) are read without regard to case; so are the
// names when checked for repeats, since the menu and the trace would show
// "Busy" and "busy" as one rule. Numbers are decimal digits only (leading
// zeros allowed), except the exception code: exactly two hex digits.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "config/section_lines.h"
#include "config/settings_file.h"
#include "engine/fault_rules.h"

namespace tarvik {

inline constexpr std::string_view kFaultsSection = "Faults";
inline constexpr std::size_t kMaxFaultNameLength = 32;
inline constexpr int32_t kMaxEveryCount = 2147483647;

struct FaultsSection {
    bool present = false;          // the header is in the file, even with no rules
    std::vector<FaultRule> rules;  // in file order; empty after an error
    // The first bad line, as "Settings error: [Faults] NAME=VALUE: REASON".
    std::optional<SettingsError> error;
};

FaultsSection ParseFaultsSection(const SectionLines& lines);
FaultsSection ReadFaultsSection(const SettingsFile& settings);
FaultsSection ReadFaultsSectionFromText(std::string_view text);

}  // namespace tarvik
