// The three sockets of the program, and the view answer sending has of them.
// Created before answer sending and the engine, which reach the sockets only
// through AnswerSockets.
#pragma once

#include <string>

#include "dispatch/answer_sockets.h"
#include "transport/tcp_connection.h"
#include "transport/tcp_listener.h"
#include "transport/udp_endpoint.h"

namespace tarvik {

class SlaveEngine;

class SocketSet final : public AnswerSockets {
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

    bool UdpMode() const override { return udpMode_; }
    // Set once, when the local port opens as UDP.
    void SetUdpMode(bool on) { udpMode_ = on; }

    // UDP answers go to the sender whose frames the engine is answering.
    void FollowSenders(const SlaveEngine& engine) { engine_ = &engine; }

    AnswerRoute CurrentRoute() const override;
    bool SendUdp(const Packet& frame, const std::string& host, int32_t port) override;
    SocketState DataState() const override { return data.State(); }
    uint64_t DataConnection() const override { return data.Serial(); }
    bool SendData(const Packet& frame) override { return data.SendData(frame); }

private:
    bool udpMode_ = false;
    const SlaveEngine* engine_ = nullptr;
};

}  // namespace tarvik
