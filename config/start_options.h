// Start values of the operator options, from the settings file's Options
// section, so a run can begin with answers held or delayed and a trace file
// or a registers file named.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/settings_file.h"

namespace tarvik {

inline constexpr std::string_view kOptionsSection = "Options";
inline constexpr int kDefaultTraceFileMaxMB = 64;

// Each member starts as the window's option does without the key. The check
// boxes take "1" (checked) or "0" (clear); any other value is ignored.
struct StartOptions {
    bool ShowRawData = true;
    bool ShowReads = true;
    bool DontAnswer = false;
    bool DelayAnswer = false;
    // The delay box's text: any value that is present, the empty one too.
    std::string DelayText = "200";
    // Paths as written, empty for none; ResolveBesideSettings finds them.
    std::string TraceFile;
    // Size in MiB at which the trace file is started afresh: decimal digits,
    // anything else the default, with a warning. 0: never by this program
    // (logrotate's turn).
    int TraceFileMaxMB = kDefaultTraceFileMaxMB;
    std::string RegistersFile;
    // Lines for standard error about values replaced by their defaults; the
    // program goes on.
    std::vector<std::string> Warnings;
};

StartOptions ReadStartOptions(const SettingsFile& settings);

}  // namespace tarvik
