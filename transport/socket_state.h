// The states a socket reports, numbered as the operator's status texts and
// older traces know them.
#pragma once

namespace tarvik {

enum class SocketState : int {
    Closed = 0,
    Open = 1,  // UDP endpoint bound
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    PeerClosing = 8,
    Error = 9,
};

}  // namespace tarvik
