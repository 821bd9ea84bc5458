// The three socket controls of the program, and the view answer sending has
// of them. Created before answer sending and the engine, which reach the
// sockets only through AnswerSockets.
#pragma once

#include "dispatch/answer_sockets.h"
#include "transport/winsock_control.h"

namespace tarvik {

class SocketSet final : public AnswerSockets {
public:
    SocketSet() = default;
    SocketSet(const SocketSet&) = delete;
    SocketSet& operator=(const SocketSet&) = delete;

    // The listener in TCP server mode. Its LocalPort is the port in use
    // that the caption and the status bar show, in UDP mode too.
    WinsockControl Winsock_Connect{SocketProtocol::Tcp};
    // The one data connection: accepted (server) or connected out (client).
    WinsockControl Winsock_Data{SocketProtocol::Tcp};
    // Bound to the local port in UDP mode, idle otherwise.
    WinsockControl Winsock_UDP{SocketProtocol::Udp};

    bool UdpMode() const override { return udpMode_; }
    // Set once, when the local port opens as UDP.
    void SetUdpMode(bool on) { udpMode_ = on; }

    bool SendUdp(const Packet& frame) override;
    int DataState() const override;
    bool SendData(const Packet& frame) override;

private:
    bool udpMode_ = false;
};

}  // namespace tarvik
