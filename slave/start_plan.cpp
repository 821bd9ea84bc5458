#include "slave/start_plan.h"

#include "config/settings_file.h"
#include "config/start_options.h"
#include "config/units_section.h"

namespace tarvik {

StartPlan PlanStart(const StartRequest& request) {
    StartPlan plan;
    const bool named = !request.configPath.empty();
    const SettingsFile file =
        named ? SettingsFile::AtPath(request.configPath) : SettingsFile(request.appFolder);
    if (!file.Readable()) {
        const std::string line = "Cannot read settings file " + file.Path() + ": " + file.Reason();
        // Named on purpose: going on with defaults would serve the wrong device.
        if (named) {
            plan.fatal = line;
            return plan;
        }
        plan.warnings.push_back(line + " (using defaults)");
    }
    plan.settings = ReadStartupSettings(file);
    // Read at start only: the tables behind each unit exist from now on.
    const UnitsSectionResult units = ReadUnitsSection(file);
    if (units.ok) {
        plan.settings.UnitsServed = units.units.served;
        plan.settings.UnitsAbsent = units.units.absent;
    } else {
        plan.settingsErrors.push_back(units.error.Text());
    }
    plan.settingsPath = file.Path();
    plan.seed = request.seed;
    plan.faults = ReadFaultsSection(file);
    // Refused, the section is left out and said as the others are.
    if (plan.faults.error) plan.settingsErrors.push_back(plan.faults.error->Text());
    plan.values = ReadValueSections(file, ServedUnitsOf(plan.settings.UnitsServed));
    if (plan.values.error) plan.settingsErrors.push_back(plan.values.error->Text());

    const StartOptions options = ReadStartOptions(file);
    plan.warnings.insert(plan.warnings.end(), options.Warnings.begin(), options.Warnings.end());
    plan.options.showRawData = options.ShowRawData;
    plan.options.showReads = options.ShowReads;
    plan.options.dontAnswer = options.DontAnswer;
    plan.options.delayAnswer = options.DelayAnswer;
    plan.options.delayText = options.DelayText;

    // The command line wins over the settings file; either way a relative
    // path is found beside the settings file, so one device's files stay
    // together wherever the program was started from.
    plan.traceFile = ResolveBesideSettings(
        file, request.traceFile.empty() ? options.TraceFile : request.traceFile);
    plan.traceFileMaxBytes = static_cast<uint64_t>(options.TraceFileMaxMB) * 1024 * 1024;
    plan.registersFile = ResolveBesideSettings(
        file, request.registersFile.empty() ? options.RegistersFile : request.registersFile);
    return plan;
}

}  // namespace tarvik
