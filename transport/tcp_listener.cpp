#include "transport/tcp_listener.h"

#include <QTcpServer>

#include "transport/raw_socket.h"
#include "transport/socket_addresses.h"

namespace tarvik {

// Hands each accepted descriptor on instead of wrapping it, so that the data
// connection takes it over.
class TcpListener::HandleServer final : public QTcpServer {
public:
    explicit HandleServer(TcpListener& owner) : QTcpServer(&owner), owner_(owner) {}

protected:
    void incomingConnection(qintptr handle) override { owner_.Offer(handle); }

private:
    TcpListener& owner_;
};

TcpListener::TcpListener(QObject* parent) : QObject(parent) {}

TcpListener::~TcpListener() { Close(); }

int32_t TcpListener::LocalPort() const {
    return server_ != nullptr ? server_->serverPort() : localPort_;
}

bool TcpListener::SetLocalPort(int32_t port) {
    if (!PortMayBeSet(port, state_ == SocketState::Closed)) return false;
    localPort_ = port;
    return true;
}

std::optional<SocketError> TcpListener::Listen(const QHostAddress& address) {
    if (state_ != SocketState::Closed) {
        return SocketError{SocketError::What::OpenFailed, "the listener is already open"};
    }
    auto* server = new HandleServer(*this);
    if (!server->listen(address, static_cast<quint16>(localPort_))) {
        SocketError error{SocketError::What::OpenFailed, server->errorString().toStdString()};
        delete server;
        return error;
    }
    server_ = server;
    state_ = SocketState::Listening;
    return std::nullopt;
}

void TcpListener::Close() {
    ++generation_;
    if (server_ != nullptr) {
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    for (const intptr_t handle : pending_) CloseHandle(handle);
    pending_.clear();
    state_ = SocketState::Closed;
}

void TcpListener::Offer(intptr_t handle) {
    pending_.push_back(handle);
    const uint64_t generation = generation_;
    // Raised from the event loop, never inside Qt's own accept.
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverRequest(generation); }, Qt::QueuedConnection);
}

void TcpListener::DeliverRequest(uint64_t generation) {
    if (generation != generation_ || pending_.empty()) return;
    const intptr_t handle = pending_.front();
    pending_.pop_front();
    state_ = SocketState::ConnectionPending;
    offered_ = handle;
    emit ConnectionRequest();
    // Not taken over: refused.
    CloseHandle(offered_);
    offered_ = -1;
    if (generation == generation_) state_ = SocketState::Listening;
}

intptr_t TcpListener::TakeOffered() {
    const intptr_t handle = offered_;
    offered_ = -1;
    return handle;
}

}  // namespace tarvik
