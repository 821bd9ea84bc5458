// What start-up reads from the settings file, and the parts of one entry of
// the local port list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings_file.h"
#include "engine/absent_answer.h"
#include "engine/unit_tables.h"

namespace tarvik {

inline constexpr std::string_view kGeneralSection = "General";
inline constexpr std::string_view kLocalPortsSection = "LocalPorts";
inline constexpr int32_t kLocalPortsBufferLength = 10240;

// One line of the LocalPorts list: "port=title", the title optionally
// ending in ",U" for UDP.
struct PortEntry {
    std::string PortText;  // before the first "=", blanks trimmed; empty ends the list
    int32_t Port = 0;      // leading number of PortText, a half to the even neighbour
    std::string Title;     // between the first and the next "=", trimmed, flag included
    std::string Flag;      // after the title's first ",", trimmed, upper-cased

    bool IsUdp() const { return Flag == "U"; }
    bool operator==(const PortEntry&) const = default;
};

struct StartupSettings {
    bool SocketServer = false;  // the setting is exactly "1"
    std::string RemoteHost;
    int32_t RemotePort = 0;
    bool SimulatePAT = false;  // the setting is exactly "1"
    // Function 16 answered with start and quantity only, as the Modbus
    // standard has it, instead of the whole request echoed; exactly "1".
    bool StandardWriteAnswer = false;
    // Local address the listener or UDP socket opens on; empty means every
    // interface. Taken as written: whether it is usable is the opener's call.
    std::string BindAddress;
    // The LocalPorts entries in file order, tried in that order. Read in
    // server mode only, empty otherwise.
    std::vector<PortEntry> LocalPorts;
    // The [Units] section (ReadUnitsSection), read by start-up planning,
    // which reports a bad one: none served (units off) unless it read.
    UnitSet UnitsServed;
    AbsentAnswer UnitsAbsent = AbsentAnswer::GatewayTargetFailed;
};

// Reads the General keys of the settings file and, in server mode, its
// LocalPorts list. A missing file gives client mode, an empty host, port 0.
StartupSettings ReadStartupSettings(const SettingsFile& settings);

// The LocalPorts lines through a buffer of kLocalPortsBufferLength blanks,
// each followed by a NUL.
std::string ReadLocalPorts(const SettingsFile& settings);
// Those lines as entries.
std::vector<PortEntry> ParsePortEntries(std::string_view lines);

PortEntry ParsePortEntry(std::string_view line);

}  // namespace tarvik
