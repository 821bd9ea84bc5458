// [Points]: name=table,index,type[,order[,unit]], one typed point a line.
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/section_lines.h"
#include "config/settings_file.h"
#include "engine/point.h"

namespace tarvik {

inline constexpr std::string_view kPointsSection = "Points";

// The units [Units] serves. With none, a point names no unit and lives in
// the one set of tables.
struct ServedUnits {
    bool on = false;
    std::bitset<256> ids;
};

struct PointsSection {
    bool present = false;
    // In file order; empty when `error` is set, since a bad section is
    // dropped whole.
    std::vector<Point> points;
    std::optional<SettingsError> error;  // the first bad line
};

// The order defaults to ABCD; the unit to the lowest served id with units
// on, kNoUnit without. Words (table, type, order) ignore case.
PointsSection ParsePointsSection(const SectionLines& lines, const ServedUnits& units);
PointsSection ReadPointsSection(const SettingsFile& settings, const ServedUnits& units);

// 1 to 32 letters, digits, "_", "-" or ".".
bool IsPointName(std::string_view name);
// Names are told apart without regard to case, as settings keys are: the
// key under which a name is unique.
std::string PointNameKey(std::string_view name);

// `text` split at `delimiter`, each field trimmed of blanks and tabs.
std::vector<std::string_view> SplitTrimmed(std::string_view text, char delimiter);

}  // namespace tarvik
