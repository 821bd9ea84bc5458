// The program's command line, read before any application object exists so
// that the headless face never touches a display. Qt's own options for the
// window (-platform, -style, ...) are passed through to it untouched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct CommandLine {
    bool headless = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool values = false;    // headless: the points' values every second; the window ignores it
    std::string config;     // --config PATH, empty for the file beside the program
    std::string traceFile;  // --trace-file PATH
    std::string registers;  // --registers PATH
    std::optional<uint64_t> seed;  // --seed N
    // The arguments for the application object: the program name and Qt's
    // own options.
    std::vector<std::string> applicationArgs;
    // Set when the line cannot be used; the usage goes to standard error.
    std::string error;
};

CommandLine ParseCommandLine(int argc, char* argv[]);

// The --help text.
std::string UsageText(const std::string& programName);

}  // namespace tarvik
