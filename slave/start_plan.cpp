#include "slave/start_plan.h"

#include "config/settings_file.h"
#include "config/start_options.h"

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

    const StartOptions options = ReadStartOptions(file);
    plan.options.showRawData = options.ShowRawData;
    plan.options.showReads = options.ShowReads;
    plan.options.dontAnswer = options.DontAnswer;
    plan.options.delayAnswer = options.DelayAnswer;
    plan.options.delayText = options.DelayText;

    // A path from the command line is the user's, taken as given; one from
    // the settings file is found beside that file.
    if (!request.traceFile.empty()) {
        plan.traceFile = request.traceFile;
    } else if (!options.TraceFile.empty()) {
        plan.traceFile = ResolveBesideSettings(file, options.TraceFile);
    }
    plan.traceFileMaxBytes = static_cast<uint64_t>(options.TraceFileMaxMB) * 1024 * 1024;
    if (!request.registersFile.empty()) {
        plan.registersFile = request.registersFile;
    } else if (!options.RegistersFile.empty()) {
        plan.registersFile = ResolveBesideSettings(file, options.RegistersFile);
    }
    return plan;
}

}  // namespace tarvik
