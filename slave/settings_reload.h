// The reload step for the settings sections a reload replaces: [Faults],
// [Points] and [Generators], from one reading of the settings file, all
// together or, when any of them is bad, none of them.
#pragma once

#include <string>

#include "config/points_section.h"
#include "slave/core_faults.h"
#include "slave/core_reload.h"
#include "slave/core_values.h"

namespace tarvik {

// Reads the settings file at `path` once. With every section sound, the
// rules and the points with their generators are replaced (notices in
// that order) and true comes back; otherwise each bad section's error line
// (or the unreadable file's, when any of the sections was in use) goes to
// `report` and everything is kept.
bool ReloadSettingsSections(const std::string& path, const ServedUnits& units, CoreFaults& faults,
                            CoreValues& values, ReloadReport& report);

}  // namespace tarvik
