// What start-up reads before anything opens: the settings file (beside the
// program, or the one the command line names), the operator options' start
// values, and the paths of the trace file and the registers file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/faults_section.h"
#include "config/startup_settings.h"
#include "slave/core_values.h"
#include "slave/fixed_options.h"

namespace tarvik {

struct StartRequest {
    std::string appFolder;      // the program's folder, ending in "/"
    std::string configPath;     // --config, empty for TarvikSlave.ini in appFolder
    std::string traceFile;      // --trace-file, wins over TraceFile=
    std::string registersFile;  // --registers, wins over RegistersFile=
    // Relative paths of both, wherever they come from, are taken from the
    // settings file's folder.
    std::optional<uint64_t> seed;  // --seed: the random source repeats
};

struct StartPlan {
    StartupSettings settings;
    FixedOptions options;
    std::string traceFile;  // resolved against the settings file's folder; empty for none
    uint64_t traceFileMaxBytes = 0;
    std::string registersFile;  // resolved the same way; empty for none
    std::optional<uint64_t> seed;
    // The settings file's path, read again by a reload.
    std::string settingsPath;
    // [Faults]; with an error, its line goes to standard error, the headless
    // face ends with status 2 and the window starts without rules.
    FaultsSection faults;
    // [Points] and [Generators]; with an error in either, both are left out
    // and the error is said as [Faults]' is.
    ValueSections values;
    // Lines for standard error; the program goes on (defaults for an
    // unreadable settings file beside the program).
    std::vector<std::string> warnings;
    // A line for standard error after which the program ends with status 2
    // (a settings file the user named cannot be read).
    std::string fatal;
    // "Settings error: [SECTION] KEY=VALUE: REASON" lines, the section left
    // out of `settings`: the headless program ends with status 2 after
    // them, the window shows them and starts without the section.
    std::vector<std::string> settingsErrors;
};

StartPlan PlanStart(const StartRequest& request);

}  // namespace tarvik
