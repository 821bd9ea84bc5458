// The UDP endpoint of the UDP role: one bound socket, each datagram raised as
// one arrival together with its sender, answers sent to a given sender.
// The descriptor is ours: one recvfrom per readable event and one sendto per
// answer, with no copy and no peek in between.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/answer_route.h"
#include "engine/packet.h"
#include "transport/socket_error.h"
#include "transport/socket_state.h"

namespace tarvik {

class DescriptorNotifier;

// One datagram and who sent it; the bytes hold until the next datagram is
// received.
struct Datagram {
    std::string_view bytes;
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

    // The datagram of the arrival being raised.
    Datagram GetData() const { return held_; }

    // One datagram to `to`; true when the system took all of it.
    bool SendTo(std::string_view data, const SenderKey& to);

    // Called from the event loop for every datagram received, an empty one
    // included; a plain call, as for the TCP connection.
    void OnDataArrival(std::function<void()> handler) { arrival_ = std::move(handler); }

signals:
    // The system reported an error; the endpoint stays open.
    void Failed(const SocketError& error);

private:
    void OnReadable();
    void PostFailure(int error);

    int32_t localPort_ = 0;
    int32_t boundPort_ = 0;
    SocketState state_ = SocketState::Closed;
    uint64_t generation_ = 0;
    int fd_ = -1;
    DescriptorNotifier* readable_ = nullptr;
    std::unique_ptr<char[]> inbox_;
    Datagram held_;
    std::function<void()> arrival_;
};

}  // namespace tarvik
