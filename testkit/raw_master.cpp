#include "testkit/raw_master.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "testkit/loopback.h"
#include "testkit/mbap_framer.h"

namespace tarvik::testing {
namespace {

int MillisLeft(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::duration_cast<milliseconds>(until - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

// Blocking, so a send waits while the emulator pauses its reading; a refused
// connection on the loopback fails at once.
bool TcpMaster::Connect(int port, const char* host) {
    Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = LoopbackAddress(port);
    if (host != nullptr) ::inet_pton(AF_INET, host, &addr.sin_addr);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        Close();
        return false;
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval bound{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    return true;
}

bool TcpMaster::Send(const Packet& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

Packet TcpMaster::ReceiveBytes(std::size_t n, milliseconds limit) {
    Packet out;
    const auto until = std::chrono::steady_clock::now() + limit;
    char buffer[65536];
    pollfd p{fd_, POLLIN, 0};
    while (out.size() < n && ::poll(&p, 1, MillisLeft(until)) == 1) {
        const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

std::optional<Packet> TcpMaster::ReceiveFrame(milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    Packet frame = ReceiveBytes(kMbapPrefix, limit);
    if (frame.size() < kMbapPrefix) return std::nullopt;
    const std::size_t size = FrameSize(frame);
    frame += ReceiveBytes(size - kMbapPrefix, milliseconds(MillisLeft(until)));
    return frame.size() == size ? std::optional(frame) : std::nullopt;
}

void TcpMaster::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace tarvik::testing
