#include "slave/status_panels.h"

#include <cctype>
#include <limits>

#include "engine/text_forms.h"

namespace tarvik {

int64_t PanelNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    // Saturate rather than overflow on a long run of digits.
    constexpr int64_t kCeiling = std::numeric_limits<int64_t>::max() / 10 - 9;
    int64_t value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        if (value < kCeiling) value = value * 10 + (text[at] - '0');
    }
    return negative ? -value : value;
}

std::string ConnectionText(const StatusSource& source, SocketState state) {
    if (state == SocketState::Connected) {
        return "Connected to " + source.DataRemoteHostIP() + ":" + Decimal(source.DataRemotePort());
    }
    if (source.SocketServer()) {
        return "Listening at port " + Decimal(source.ListenLocalPort());
    }
    return "Trying to connect to " + source.DataRemoteHost() + ":" +
           Decimal(source.DataRemotePort());
}

namespace {

void WriteCounter(StatusPanels& panels, int panel, int32_t value) {
    if (PanelNumber(panels.PanelText(panel)) != value) {
        panels.SetPanelText(panel, Decimal(value));
    }
}

}  // namespace

void RefreshStatusBar(StatusPanels& panels, const StatusSource& source, int16_t& lastSocketState) {
    WriteCounter(panels, kReceivedPanel, source.PacketsReceived());
    WriteCounter(panels, kSentPanel, source.PacketsSent());

    const SocketState state = source.DataState();
    if (static_cast<int>(state) == lastSocketState) return;
    panels.SetPanelText(kConnectionPanel, ConnectionText(source, state));
    // The state whose text the panel now shows, so the next refresh compares
    // against what is on screen.
    lastSocketState = static_cast<int16_t>(state);
}

}  // namespace tarvik
