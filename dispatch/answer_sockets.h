// The sockets as answer sending sees them; the transport implements this.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch/socket_state.h"
#include "engine/packet.h"

namespace tarvik {

// Where the answer to one request belongs. A TCP answer belongs to the
// connection its request came on: connections are numbered, because the data
// socket is reused by the next master. A UDP answer belongs to the sender of
// its request.
struct AnswerRoute {
    uint64_t connection = 0;  // TCP: serial of the data connection
    std::string udpHost;      // UDP: the sender's dotted address
    int32_t udpPort = 0;      // UDP: the sender's port

    bool operator==(const AnswerRoute&) const = default;
};

class AnswerSockets {
public:
    virtual ~AnswerSockets() = default;
    // True when the local port was opened as UDP.
    virtual bool UdpMode() const = 0;
    // The route of the request being answered now: the data connection in
    // use, or the sender of the datagram being processed.
    virtual AnswerRoute CurrentRoute() const = 0;
    // One datagram to `host`:`port`; true when accepted.
    virtual bool SendUdp(const Packet& frame, const std::string& host, int32_t port) = 0;
    // State of the TCP data socket.
    virtual SocketState DataState() const = 0;
    // Serial of the data connection in use (bumped at every accept and every
    // established outgoing connection); 0 before the first.
    virtual uint64_t DataConnection() const = 0;
    // Bytes on the TCP data connection; true when accepted.
    virtual bool SendData(const Packet& frame) = 0;
};

}  // namespace tarvik
