#include "transport/udp_endpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "transport/descriptor_notifier.h"
#include "transport/raw_socket.h"
#include "transport/socket_addresses.h"
#include "transport/socket_limits.h"

namespace tarvik {

UdpEndpoint::UdpEndpoint(QObject* parent)
    : QObject(parent), inbox_(new char[static_cast<std::size_t>(kMaxDatagramBytes)]) {}

UdpEndpoint::~UdpEndpoint() { Close(); }

int32_t UdpEndpoint::LocalPort() const { return fd_ >= 0 ? boundPort_ : localPort_; }

bool UdpEndpoint::SetLocalPort(int32_t port) {
    if (!PortMayBeSet(port, state_ == SocketState::Closed)) return false;
    localPort_ = port;
    return true;
}

std::optional<SocketError> UdpEndpoint::Bind(const QHostAddress& address) {
    if (state_ != SocketState::Closed) {
        return SocketError{SocketError::What::OpenFailed, "the endpoint is already bound"};
    }
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (!isV4) return SocketError{SocketError::What::OpenFailed, "not an IPv4 address"};
    // No SO_REUSEADDR: a port another program holds is in use, as it is
    // for TCP.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return SocketError{SocketError::What::OpenFailed, ErrorText(errno)};
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(v4);
    local.sin_port = htons(static_cast<uint16_t>(localPort_));
    socklen_t length = sizeof local;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        SocketError error{SocketError::What::OpenFailed, ErrorText(errno)};
        ::close(fd);
        return error;
    }
    fd_ = fd;
    boundPort_ = ntohs(local.sin_port);
    state_ = SocketState::Open;
    readable_ = new DescriptorNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Read, this,
                                       [this] { OnReadable(); });
    return std::nullopt;
}

void UdpEndpoint::Close() {
    ++generation_;
    if (fd_ >= 0) {
        // The notifier may be the one whose event is running.
        readable_->Forget();
        readable_->deleteLater();
        readable_ = nullptr;
        ::close(fd_);
        fd_ = -1;
    }
    held_ = Datagram{};
    state_ = SocketState::Closed;
}

bool UdpEndpoint::SendTo(std::string_view data, const SenderKey& to) {
    if (fd_ < 0 || to.port == 0) return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(to.address);
    peer.sin_port = htons(to.port);
    ssize_t sent;
    do {
        sent = ::sendto(fd_, data.data(), data.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) PostFailure(errno);
    return sent == static_cast<ssize_t>(data.size());
}

void UdpEndpoint::OnReadable() {
    // One datagram per readable event: while more wait, the socket stays
    // readable and the next pass of the event loop takes the next.
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n;
    do {
        n = ::recvfrom(fd_, inbox_.get(), static_cast<std::size_t>(kMaxDatagramBytes), MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&from), &length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        PostFailure(errno);
        return;
    }
    held_.bytes = std::string_view(inbox_.get(), static_cast<std::size_t>(n));
    held_.sender = SenderKey{from.sin_family == AF_INET ? ntohl(from.sin_addr.s_addr) : 0,
                             ntohs(from.sin_port)};
    // An empty datagram is an arrival too.
    if (arrival_) arrival_();
}

void UdpEndpoint::PostFailure(int error) {
    // Nothing to read, or the report that a sender's port has closed since
    // an earlier answer, is not worth telling anyone; a datagram socket
    // outlives the errors of single sends.
    if (error == EAGAIN || error == EWOULDBLOCK || error == ECONNREFUSED) return;
    const uint64_t generation = generation_;
    const SocketError failure{SocketError::What::SendFailed, ErrorText(error)};
    QMetaObject::invokeMethod(
        this,
        [this, generation, failure] {
            if (generation == generation_) emit Failed(failure);
        },
        Qt::QueuedConnection);
}

}  // namespace tarvik
