#include "config/startup_settings.h"

#include "config/text_helpers.h"

namespace tarvik {

namespace {

// Blanks only: a tab is part of the text.
std::string TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

std::string ReadLocalPorts(const SettingsFile& settings) {
    std::string buffer(kLocalPortsBufferLength, ' ');
    const int32_t count = settings.ReadSection(kLocalPortsSection, buffer, kLocalPortsBufferLength);
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

StartupSettings ReadStartupSettings(const SettingsFile& settings) {
    const auto read = [&settings](std::string_view key) {
        return settings.ReadSetting(kGeneralSection, key, "");
    };
    StartupSettings result;
    result.SocketServer = read("SocketServer") == "1";
    result.RemoteHost = read("RemoteHost");
    result.RemotePort = RoundHalfEvenToInt32(LeadingNumber(read("RemotePort")));
    result.SimulatePAT = read("SimulatePAT") == "1";
    result.StandardWriteAnswer = read("StandardWriteAnswer") == "1";
    result.BindAddress = read("BindAddress");
    if (result.SocketServer) {
        result.LocalPorts = ParsePortEntries(ReadLocalPorts(settings));
    }
    return result;
}

std::vector<PortEntry> ParsePortEntries(std::string_view lines) {
    std::vector<PortEntry> entries;
    while (!lines.empty()) {
        const std::size_t end = lines.find('\0');
        entries.push_back(ParsePortEntry(lines.substr(0, end)));
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    }
    return entries;
}

PortEntry ParsePortEntry(std::string_view line) {
    PortEntry entry;
    entry.PortText = TrimBlanks(GetField(line, 0, '='));
    entry.Port = RoundHalfEvenToInt32(LeadingNumber(entry.PortText));
    entry.Title = TrimBlanks(GetField(line, 1, '='));
    entry.Flag = UpperAscii(TrimBlanks(GetField(entry.Title, 1, ',')));
    return entry;
}

}  // namespace tarvik
