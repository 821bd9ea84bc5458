#include "raw_master.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik::testing {
namespace {

void PutWord(Bytes& out, int value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

int MillisLeft(std::chrono::steady_clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

Bytes Frame(int transaction, int unit, const Bytes& pdu) {
    Bytes frame;
    PutWord(frame, transaction);
    PutWord(frame, 0);
    PutWord(frame, static_cast<int>(pdu.size()) + 1);
    frame.push_back(static_cast<char>(unit));
    return frame + pdu;
}

Bytes ReadRequest(int transaction, int function, int start, int quantity, int unit) {
    Bytes pdu(1, static_cast<char>(function));
    PutWord(pdu, start);
    PutWord(pdu, quantity);
    return Frame(transaction, unit, pdu);
}

Bytes WriteSingleRequest(int transaction, int address, int value, int unit) {
    Bytes pdu(1, '\x06');
    PutWord(pdu, address);
    PutWord(pdu, value);
    return Frame(transaction, unit, pdu);
}

Bytes WriteMultipleRequest(int transaction, int start, const std::string& words, int unit) {
    Bytes pdu(1, '\x10');
    PutWord(pdu, start);
    PutWord(pdu, static_cast<int>(words.size() / 2));
    pdu.push_back(static_cast<char>(words.size()));
    return Frame(transaction, unit, pdu + words);
}

TcpMaster::~TcpMaster() { Close(); }

bool TcpMaster::Connect(int port, std::chrono::milliseconds limit) {
    Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const sockaddr_in addr = Loopback(port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 &&
        errno != EINPROGRESS) {
        Close();
        return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    int error = 0;
    socklen_t len = sizeof error;
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1 ||
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
        Close();
        return false;
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool TcpMaster::Send(const Bytes& bytes) {
    std::size_t sent = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, MillisLeft(until)) != 1) return false;
            continue;
        }
        return false;
    }
    return true;
}

Bytes TcpMaster::ReceiveBytes(std::size_t n, std::chrono::milliseconds limit) {
    Bytes out;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (out.size() < n) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, MillisLeft(until)) != 1) break;
        char buffer[65536];
        const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

std::optional<Bytes> TcpMaster::ReceiveFrame(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    Bytes head = ReceiveBytes(6, limit);
    if (head.size() < 6) return std::nullopt;
    const std::size_t length = (static_cast<unsigned char>(head[4]) << 8) | static_cast<unsigned char>(head[5]);
    Bytes rest = ReceiveBytes(length, std::chrono::milliseconds(MillisLeft(until)));
    if (rest.size() < length) return std::nullopt;
    return head + rest;
}

void TcpMaster::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

UdpMaster::UdpMaster() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in any = Loopback(0);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&any), sizeof any);
}

UdpMaster::~UdpMaster() {
    if (fd_ >= 0) ::close(fd_);
}

bool UdpMaster::SendTo(int port, const Bytes& datagram) {
    const sockaddr_in addr = Loopback(port);
    return ::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&addr),
                    sizeof addr) == static_cast<ssize_t>(datagram.size());
}

std::optional<Bytes> UdpMaster::Receive(std::chrono::milliseconds limit) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return std::nullopt;
    char buffer[65536];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0) return std::nullopt;
    return Bytes(buffer, static_cast<std::size_t>(got));
}

}  // namespace tarvik::testing
