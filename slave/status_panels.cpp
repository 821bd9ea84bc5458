#include "slave/status_panels.h"

#include "engine/text_forms.h"

namespace tarvik {

void StatusPanels::SetPanelNumber(int panel, int32_t value) { SetPanelText(panel, Decimal(value)); }

std::string ConnectionText(const StatusView& view) {
    if (view.state == SocketState::Connected) {
        return "Connected to " + std::string(view.remoteHostIP) + ":" + Decimal(view.remotePort);
    }
    if (view.socketServer) {
        if (!view.portOpen) return "No port open";
        return "Listening at port " + Decimal(view.localPort);
    }
    return "Trying to connect to " + std::string(view.remoteHost) + ":" + Decimal(view.remotePort);
}

namespace {

bool SameConnection(const StatusView& a, const StatusView& b) {
    return a.state == b.state && a.remoteHostIP == b.remoteHostIP && a.remoteHost == b.remoteHost &&
           a.remotePort == b.remotePort && a.localPort == b.localPort &&
           a.socketServer == b.socketServer && a.portOpen == b.portOpen;
}

}  // namespace

void StatusPanelWriter::Refresh(StatusPanels& panels, const StatusView& view) {
    const bool all = !shown_.has_value();
    if (all || shown_->packetsReceived != view.packetsReceived)
        panels.SetPanelNumber(kReceivedPanel, view.packetsReceived);
    if (all || shown_->packetsSent != view.packetsSent)
        panels.SetPanelNumber(kSentPanel, view.packetsSent);
    const bool connection = all || !SameConnection(*shown_, view);
    if (connection) panels.SetPanelText(kConnectionPanel, ConnectionText(view));
    shown_ = view;
    if (connection) {
        shownHostIP_ = view.remoteHostIP;
        shownHost_ = view.remoteHost;
    }
    shown_->remoteHostIP = shownHostIP_;
    shown_->remoteHost = shownHost_;
}

}  // namespace tarvik
