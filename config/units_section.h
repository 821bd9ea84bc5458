// The [Units] section: the unit ids served behind the one port, each with
// register tables of its own, and what a request to any other id gets.
//
//   [Units]
//   Served=1-3,5,247
//   Absent=0B
//
// Served lists ids and inclusive ranges a-b, 0 to 255, separated by commas,
// blanks around each item allowed; empty or missing, units are off and every
// id is served from the one pair of tables. Absent is 0B (the default, also
// when empty or missing), 0A or silent, in any case. Key names are matched
// without regard to case. Any other line in the section, a key given twice,
// or a value that does not read is a settings error: one bad line and the
// whole section is refused.
#pragma once

#include <string>
#include <string_view>

#include "config/section_lines.h"
#include "config/settings_file.h"
#include "engine/absent_answer.h"
#include "engine/unit_tables.h"

namespace tarvik {

inline constexpr std::string_view kUnitsSection = "Units";

struct UnitsSettings {
    UnitSet served;  // none: units off
    AbsentAnswer absent = AbsentAnswer::GatewayTargetFailed;

    bool On() const { return served.any(); }
    bool operator==(const UnitsSettings&) const = default;
};

struct UnitsSectionResult {
    bool ok = true;
    UnitsSettings units;  // units off unless ok
    // When not ok, the first bad line: "Settings error: [Units] Served=3-1:
    // range 3-1 runs backwards". Values and names are shown cut to 80
    // characters, other than printable ASCII as "?".
    SettingsError error;
};

UnitsSectionResult ParseUnitsSection(const SectionLines& lines);
UnitsSectionResult ReadUnitsSection(const SettingsFile& settings);

// The served ids with runs of two or more as ranges: "1-3, 5, 247". Given as
// Served it reads back the same set.
std::string UnitListText(const UnitSet& units);
// For the start-up notice: "1-3, 5, 247 (others: exception 0B)", or
// "... (others: silent)".
std::string UnitsNotice(const UnitsSettings& units);

}  // namespace tarvik
