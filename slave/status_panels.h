// The connection panel and the two counter panels of the status bar, written
// only when what they show has changed. Plain C++: any five-panel bar
// implements StatusPanels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "transport/socket_state.h"

namespace tarvik {

// Panels counted from 1: connection, received, sent, date, time.
inline constexpr int kConnectionPanel = 1;
inline constexpr int kReceivedPanel = 2;
inline constexpr int kSentPanel = 3;
inline constexpr int kDatePanel = 4;
inline constexpr int kTimePanel = 5;
inline constexpr int kPanelCount = 5;

class StatusPanels {
public:
    virtual ~StatusPanels() = default;
    // Panels outside 1..5 are ignored.
    virtual void SetPanelText(int panel, std::string_view text) = 0;
    // The counter panels, which change with every packet: a bar that shows
    // them as text gets it here; one that does not keeps the number.
    virtual void SetPanelNumber(int panel, int32_t value);
};

// Everything the three panels show, as the core reads it at a refresh. The
// texts are views of the sockets' own, held for the refresh only: a refresh
// runs for every request and copies nothing.
struct StatusView {
    SocketState state = SocketState::Closed;  // of the data connection
    std::string_view remoteHostIP;            // its peer's dotted address
    std::string_view remoteHost;              // where client mode connects
    int32_t remotePort = 0;                   // the peer's or target's port
    int32_t localPort = 0;                    // the port in use
    bool socketServer = false;
    // Server mode: a TCP or UDP port is open. Without one the listener's
    // port is only the last one tried, which nobody listens on.
    bool portOpen = false;
    int32_t packetsReceived = 0;
    int32_t packetsSent = 0;
};

// Text of the connection panel; "No port open" in server mode without a port.
std::string ConnectionText(const StatusView& view);

// Remembers what the panels show and writes a panel only when a value it
// shows differs: the counters by their numbers, the connection panel by its
// state, addresses and ports (a replaced master shows its own address).
class StatusPanelWriter {
public:
    void Refresh(StatusPanels& panels, const StatusView& view);
    // The next refresh writes every panel.
    void Forget() { shown_.reset(); }

private:
    std::optional<StatusView> shown_;
    // What shown_'s texts view: copied only when the connection panel is
    // written.
    std::string shownHostIP_;
    std::string shownHost_;
};

}  // namespace tarvik
