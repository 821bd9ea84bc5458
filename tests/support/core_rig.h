// The core on the test's own event loop, built from settings a test states,
// with plain operator options and status panels that record what they show.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "config/startup_settings.h"
#include "slave/fixed_options.h"
#include "slave/slave_core.h"
#include "slave/status_panels.h"

namespace tarvik::testing {

// Server mode with the given LocalPorts lines ("0=Test" asks for a free port).
StartupSettings ServerSettings(std::initializer_list<std::string_view> localPortLines);
// Client mode towards host:port.
StartupSettings ClientSettings(std::string host, int32_t port);

struct RecordingPanels final : StatusPanels {
    std::string texts[kPanelCount];
    // Every panel written, in order.
    std::vector<int> writes;

    // Text of panel 1..5; empty for any other number.
    std::string PanelText(int panel) const;
    void SetPanelText(int panel, std::string_view text) override;
};

struct CoreRig {
    // Builds the core and runs its start (the port opens in server mode).
    explicit CoreRig(const StartupSettings& settings, const FixedOptions& startOptions = {});

    FixedOptions options;
    RecordingPanels panels;
    SlaveCore core;
    CoreStart start;

    // The options as changed since, given to the core as the window does.
    void ApplyOptions() { core.SetOptions(options.Snapshot()); }

    // The port in use (server or UDP mode).
    int Port() const { return core.Sockets().listener.LocalPort(); }
};

}  // namespace tarvik::testing
