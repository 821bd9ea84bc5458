// The window host's command line, and the settings file it writes for the
// program: the program takes no options itself, so the host turns these into
// a TarvikSlave.ini and into clicks on the window's check boxes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvik::bench {

struct HostOptions {
    int port = 0;  // 0: the system picks a free one
    bool udp = false;
    bool trace = true;        // false: "Show raw data" and "Show reads" cleared
    double seconds = 7200.0;  // the host ends itself after this long
    int settleMs = 500;       // start-up work after showing is not measured
};

inline constexpr double kMaxHostSeconds = 24.0 * 3600.0;

struct ParsedHostOptions {
    std::optional<HostOptions> options;  // empty when the line was refused
    std::string error;
    bool help = false;
};

ParsedHostOptions ParseHostOptions(const std::vector<std::string>& args);

std::string HostUsage();

// The settings file that makes the program serve `options.port` as a TCP
// server, or as a UDP endpoint.
std::string BenchSettingsText(const HostOptions& options);

}  // namespace tarvik::bench
