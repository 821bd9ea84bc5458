// The UDP endpoint of the UDP role: one bound socket, each datagram raised as
// one arrival together with its sender, answers sent to a given sender.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/answer_route.h"
#include "engine/packet.h"
#include "transport/socket_error.h"
#include "transport/socket_state.h"

class QUdpSocket;

namespace tarvik {

// One datagram and who sent it.
struct Datagram {
    Packet bytes;
    SenderKey sender;
};

class UdpEndpoint final : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoint(QObject* parent = nullptr);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // As TcpListener's: the bound port, else the one last set.
    int32_t LocalPort() const;
    bool SetLocalPort(int32_t port);

    // Binds exclusively (a port another program holds counts as in use);
    // fails at once, saying why, leaving the endpoint closed and usable again.
    std::optional<SocketError> Bind(
        const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    void Close();

    SocketState State() const { return state_; }

    // The datagram that raised the latest DataArrival; taking it lets the
    // next one be raised.
    Datagram GetData();

    // One datagram to `to`; true when the system took all of it.
    bool SendTo(std::string_view data, const SenderKey& to);

signals:
    void DataArrival(int32_t bytesTotal);
    // The system reported an error; the endpoint stays open.
    void Failed(const SocketError& error);

private:
    void OnReadyRead();
    void ScheduleArrival();
    void DeliverArrival(uint64_t generation);

    int32_t localPort_ = 0;
    SocketState state_ = SocketState::Closed;
    uint64_t generation_ = 0;
    bool arrivalPosted_ = false;
    bool delivering_ = false;
    QUdpSocket* udp_ = nullptr;
    Datagram held_;
    bool holding_ = false;
};

// The sender of a datagram as the engine keys it: an IPv4 address (an
// IPv4-mapped IPv6 one too) and a port.
SenderKey SenderOf(const QHostAddress& address, quint16 port);

}  // namespace tarvik
