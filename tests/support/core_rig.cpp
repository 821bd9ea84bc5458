#include "tests/support/core_rig.h"

#include <utility>

namespace tarvik::testing {

StartupSettings ServerSettings(std::initializer_list<std::string_view> localPortLines) {
    StartupSettings settings;
    settings.SocketServer = true;
    for (const std::string_view line : localPortLines) {
        settings.LocalPorts.push_back(ParsePortEntry(line));
    }
    return settings;
}

StartupSettings ClientSettings(std::string host, int32_t port) {
    StartupSettings settings;
    settings.RemoteHost = std::move(host);
    settings.RemotePort = port;
    return settings;
}

std::string RecordingPanels::PanelText(int panel) const {
    return panel >= 1 && panel <= kPanelCount ? texts[panel - 1] : std::string();
}

void RecordingPanels::SetPanelText(int panel, std::string_view text) {
    if (panel < 1 || panel > kPanelCount) return;
    texts[panel - 1] = std::string(text);
    writes.push_back(panel);
}

CoreRig::CoreRig(const StartupSettings& settings, const FixedOptions& startOptions)
    : options(startOptions), core(settings, options.Snapshot(), panels), start(core.Start()) {}

}  // namespace tarvik::testing
