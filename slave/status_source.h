// What the status bar shows, as the connection manager and the counters
// report it at the moment of a refresh.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch/socket_state.h"

namespace tarvik {

class StatusSource {
public:
    virtual ~StatusSource() = default;
    virtual SocketState DataState() const = 0;         // the data connection
    virtual std::string DataRemoteHostIP() const = 0;  // its peer's dotted address
    virtual std::string DataRemoteHost() const = 0;    // where client mode connects
    virtual int32_t DataRemotePort() const = 0;        // the peer's or target's port
    virtual int32_t ListenLocalPort() const = 0;       // the port in use
    virtual bool SocketServer() const = 0;
    virtual int32_t PacketsReceived() const = 0;
    virtual int32_t PacketsSent() const = 0;
};

}  // namespace tarvik
