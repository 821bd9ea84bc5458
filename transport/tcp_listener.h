// The listening socket of the TCP server role. Each connection a master
// makes is offered, from the event loop, to be taken over by the data
// connection (TcpConnection::Accept) inside that event's handler; one not
// taken then is closed.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <deque>
#include <optional>

#include "transport/socket_error.h"
#include "transport/socket_state.h"

namespace tarvik {

class TcpListener final : public QObject {
    Q_OBJECT
public:
    explicit TcpListener(QObject* parent = nullptr);
    ~TcpListener() override;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // The port in use while listening, else the port last set. Setting fails
    // outside 0..65535 or while listening; 0 asks the system for a free port.
    // Shown in the caption and the status bar, in UDP mode too.
    int32_t LocalPort() const;
    bool SetLocalPort(int32_t port);

    // Fails at once, saying why, when the port cannot be opened on
    // `address`; the listener then stays closed and usable for another port.
    std::optional<SocketError> Listen(
        const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    // Stops listening and refuses every request not yet handled; no event.
    void Close();

    SocketState State() const { return state_; }

    // The descriptor of the connection being offered, handed over to the
    // caller (who then owns it); -1 outside a ConnectionRequest handler or
    // once taken.
    intptr_t TakeOffered();

signals:
    void ConnectionRequest();

private:
    class HandleServer;
    void Offer(intptr_t handle);
    void DeliverRequest(uint64_t generation);

    int32_t localPort_ = 0;
    SocketState state_ = SocketState::Closed;
    uint64_t generation_ = 0;
    HandleServer* server_ = nullptr;
    std::deque<intptr_t> pending_;
    intptr_t offered_ = -1;
};

}  // namespace tarvik
