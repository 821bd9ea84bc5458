// The sockets as answer sending sees them; the transport implements this.
#pragma once

#include "engine/packet.h"

namespace tarvik {

inline constexpr int kStateConnected = 7;

class AnswerSockets {
public:
    virtual ~AnswerSockets() = default;
    // True when the local port was opened as UDP.
    virtual bool UdpMode() const = 0;
    // Datagram to the sender of the latest datagram; true when accepted.
    virtual bool SendUdp(const Packet& frame) = 0;
    // State of the TCP data socket (7 = connected).
    virtual int DataState() const = 0;
    // Bytes on the TCP data connection; true when accepted.
    virtual bool SendData(const Packet& frame) = 0;
};

}  // namespace tarvik
