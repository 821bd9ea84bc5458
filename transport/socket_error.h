// The one way a socket reports trouble: what happened, and the system's own
// words for it, to show where a user sees it.
#pragma once

#include <string>

namespace tarvik {

struct SocketError {
    enum class What {
        OpenFailed,      // a local port could not be opened (in use, no such address, ...)
        AcceptFailed,    // a master's connection was gone before it could be taken
        NoRemote,        // client role: no host or port to connect to
        HostNotFound,    // client role: the name did not resolve
        ConnectFailed,   // client role: the connection could not be made
        ConnectionLost,  // the data connection broke
        SendFailed,      // a datagram was not taken
    };
    What what = What::OpenFailed;
    std::string text;
};

}  // namespace tarvik
