#include "bench/window-host/host_options.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace tarvik::bench {
namespace {

std::optional<long> WholeNumber(const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Seconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (used != text.size() || !std::isfinite(value) || value <= 0.0 ||
            value > kMaxHostSeconds) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::string HostUsage() {
    return "usage: tarvik_window_host [--port N] [--proto tcp|udp] [--trace on|off]\n"
           "                          [--seconds S] [--settle-ms N]\n"
           "Runs the emulator's window serving port N (0 = a free one, printed as\n"
           "\"port N\") and measures its event loop. Prints one line of JSON and exits 0\n"
           "on SIGTERM or SIGINT, or after S seconds (default 7200).\n"
           "--trace off clears \"Show raw data\" and \"Show reads\" as the operator would.\n";
}

ParsedHostOptions ParseHostOptions(const std::vector<std::string>& args) {
    ParsedHostOptions parsed;
    HostOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "-h" || name == "--help") {
            parsed.help = true;
            return parsed;
        }
        if (name != "--port" && name != "--proto" && name != "--trace" && name != "--seconds" &&
            name != "--settle-ms") {
            parsed.error = "unknown option '" + name + "'";
            return parsed;
        }
        if (i + 1 >= args.size()) {
            parsed.error = name + " wants a value";
            return parsed;
        }
        const std::string& value = args[++i];
        if (name == "--port") {
            const auto port = WholeNumber(value, 0, 65535);
            if (!port) {
                parsed.error = "--port wants a whole number from 0 to 65535, not '" + value + "'";
                return parsed;
            }
            o.port = static_cast<int>(*port);
        } else if (name == "--proto") {
            if (value != "tcp" && value != "udp") {
                parsed.error = "--proto is tcp or udp";
                return parsed;
            }
            o.udp = value == "udp";
        } else if (name == "--trace") {
            if (value != "on" && value != "off") {
                parsed.error = "--trace is on or off";
                return parsed;
            }
            o.trace = value == "on";
        } else if (name == "--seconds") {
            const auto seconds = Seconds(value);
            if (!seconds) {
                parsed.error = "--seconds wants a number of seconds above 0, at most 86400";
                return parsed;
            }
            o.seconds = *seconds;
        } else {
            const auto settle = WholeNumber(value, 0, 60000);
            if (!settle) {
                parsed.error = "--settle-ms wants a whole number from 0 to 60000";
                return parsed;
            }
            o.settleMs = static_cast<int>(*settle);
        }
    }
    parsed.options = o;
    return parsed;
}

std::string BenchSettingsText(const HostOptions& options) {
    // One port only: if it cannot be opened, the host fails instead of
    // serving somewhere the load would never reach.
    return "[General]\nSocketServer=1\nSimulatePAT=0\n\n[LocalPorts]\n" +
           std::to_string(options.port) + (options.udp ? "=Bench,U\n" : "=Bench\n");
}

}  // namespace tarvik::bench
