#include "slave/settings_reload.h"

#include "config/faults_section.h"
#include "config/settings_file.h"

namespace tarvik {

bool ReloadSettingsSections(const std::string& path, const ServedUnits& units, CoreFaults& faults,
                            CoreValues& values, ReloadReport& report) {
    const SettingsFile file = SettingsFile::AtPath(path);
    if (!file.Readable()) {
        // Without any of the sections before, there is nothing to keep or to tell.
        if (!faults.Present() && !values.Present()) return false;
        report.errors.push_back("Cannot read settings file " + file.Path() + ": " + file.Reason());
        return false;
    }
    const FaultsSection faultsSection = ReadFaultsSection(file);
    const ValueSections valueSections = ReadValueSections(file, units);
    if (faultsSection.error) report.errors.push_back(faultsSection.error->Text());
    if (valueSections.error) report.errors.push_back(valueSections.error->Text());
    if (faultsSection.error || valueSections.error) return false;
    faults.Replace(faultsSection, report);
    values.Replace(valueSections, report);
    return true;
}

}  // namespace tarvik
