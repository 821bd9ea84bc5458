// The three sockets of the program, and the outlets answer sending sends
// through: each answer to the route its request came by.
#pragma once

#include <string_view>

#include "dispatch/answer_outlets.h"
#include "transport/tcp_connection.h"
#include "transport/tcp_listener.h"
#include "transport/udp_endpoint.h"

namespace tarvik {

class SocketSet final : public AnswerOutlets {
public:
    SocketSet() = default;
    SocketSet(const SocketSet&) = delete;
    SocketSet& operator=(const SocketSet&) = delete;

    // Server role: the listener. Its LocalPort is the port in use that the
    // caption and the status bar show, in UDP mode too.
    TcpListener listener;
    // The one data connection: accepted (server) or connected out (client).
    TcpConnection data;
    // Bound to the local port in UDP mode, idle otherwise.
    UdpEndpoint udp;

    // A TCP answer goes only on the connection its request came on, while
    // it is connected; a UDP answer to its sender.
    bool Send(const AnswerRoute& route, std::string_view frame) override;
    void Close(const AnswerRoute& route) override;

private:
    bool OnItsConnection(const AnswerRoute& route) const;
};

}  // namespace tarvik
