#include "bench/floor/floor_server.h"

#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "testkit/loopback.h"

namespace tarvik::bench {
namespace {

constexpr int kPortTries = 50;
constexpr std::size_t kMaxClients = 1024;
constexpr std::size_t kReadChunk = 64 * 1024;
// Read no more than this per wake-up before answering, so one flooding
// client cannot starve the rest.
constexpr std::size_t kReadPerWake = 1024 * 1024;
constexpr int kDatagramsPerWake = 64;
constexpr int kMaxEvents = 64;

bool Watch(int epoll, int fd, uint32_t events, int op = EPOLL_CTL_ADD) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    return epoll_ctl(epoll, op, fd, &event) == 0;
}

// Non-blocking for the epoll loop; the listener may take a port that still
// has connections in TIME_WAIT from an earlier run.
int BoundSocket(int type, int port) {
    return testing::BindLoopback(type | SOCK_NONBLOCK | SOCK_CLOEXEC, port, type == SOCK_STREAM);
}

}  // namespace

std::unique_ptr<FloorServer> FloorServer::Open(int port, std::string& error) {
    std::unique_ptr<FloorServer> server(new FloorServer());
    for (int attempt = 0; attempt < (port == 0 ? kPortTries : 1); ++attempt) {
        server->listener_ = BoundSocket(SOCK_STREAM, port);
        if (server->listener_ < 0) break;
        server->port_ = testing::BoundPort(server->listener_);
        server->datagrams_ = BoundSocket(SOCK_DGRAM, server->port_);
        if (server->datagrams_ >= 0) break;
        // UDP has that number taken: let TCP pick another.
        close(server->listener_);
        server->listener_ = -1;
    }
    if (server->listener_ < 0 || server->datagrams_ < 0) {
        error = "cannot bind 127.0.0.1:" + std::to_string(port) +
                " for TCP and UDP: " + std::strerror(errno);
        return nullptr;
    }
    server->epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (listen(server->listener_, 64) != 0 || server->epoll_ < 0 ||
        !Watch(server->epoll_, server->listener_, EPOLLIN) ||
        !Watch(server->epoll_, server->datagrams_, EPOLLIN)) {
        error = std::string("cannot listen: ") + std::strerror(errno);
        return nullptr;
    }
    return server;
}

FloorServer::~FloorServer() {
    for (const auto& [fd, client] : clients_) close(fd);
    for (int fd : {listener_, datagrams_, epoll_}) {
        if (fd >= 0) close(fd);
    }
}

void FloorServer::Serve(std::chrono::steady_clock::time_point deadline, int stopFd) {
    if (stopFd >= 0 && !Watch(epoll_, stopFd, EPOLLIN)) return;
    epoll_event events[kMaxEvents];
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        const int waitMs = static_cast<int>(std::min<long long>(left.count(), 1000));
        const int ready = epoll_wait(epoll_, events, kMaxEvents, waitMs);
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < ready; ++i) {
            const int fd = events[i].data.fd;
            if (fd == stopFd) {
                epoll_ctl(epoll_, EPOLL_CTL_DEL, stopFd, nullptr);
                return;
            }
            if (fd == listener_) {
                Accept();
            } else if (fd == datagrams_) {
                ReadDatagrams();
            } else if (const auto found = clients_.find(fd); found != clients_.end()) {
                if (events[i].events & EPOLLOUT) {
                    FlushClient(fd, found->second);
                } else {
                    ReadClient(fd, found->second);
                }
            }
        }
    }
    if (stopFd >= 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, stopFd, nullptr);
}

void FloorServer::Accept() {
    while (true) {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (clients_.size() >= kMaxClients) {
            close(fd);
            continue;
        }
        // Answers go out as soon as they are written, never held for an ACK.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (!Watch(epoll_, fd, EPOLLIN)) {
            close(fd);
            continue;
        }
        clients_.emplace(fd, Client{});
    }
}

void FloorServer::ReadClient(int fd, Client& client) {
    std::size_t taken = 0;
    bool closed = false;
    char chunk[kReadChunk];
    while (taken < kReadPerWake) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            client.in.append(chunk, static_cast<std::size_t>(n));
            taken += static_cast<std::size_t>(n);
            // A short read drained the socket; epoll says so again if more came.
            if (static_cast<std::size_t>(n) < sizeof chunk) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    // Everything that came in this wake-up is answered with one write.
    const std::size_t used = AnswerFrames(registers_, client.in, client.out);
    client.in.erase(0, used);
    if (closed) return CloseClient(fd);
    FlushClient(fd, client);
}

void FloorServer::FlushClient(int fd, Client& client) {
    while (client.outOffset < client.out.size()) {
        const ssize_t n = send(fd, client.out.data() + client.outOffset,
                               client.out.size() - client.outOffset, MSG_NOSIGNAL);
        if (n > 0) {
            client.outOffset += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Stop reading until the client takes its answers.
            if (!client.blocked) Watch(epoll_, fd, EPOLLOUT, EPOLL_CTL_MOD);
            client.blocked = true;
            return;
        }
        return CloseClient(fd);
    }
    client.out.clear();
    client.outOffset = 0;
    if (client.blocked) Watch(epoll_, fd, EPOLLIN, EPOLL_CTL_MOD);
    client.blocked = false;
}

void FloorServer::CloseClient(int fd) {
    close(fd);
    clients_.erase(fd);
}

void FloorServer::ReadDatagrams() {
    char datagram[kReadChunk];
    Packet answers;
    std::vector<std::size_t> ends;
    for (int count = 0; count < kDatagramsPerWake; ++count) {
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t n = recvfrom(datagrams_, datagram, sizeof datagram, 0,
                                   reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (n < 0) return;
        udpIn_.append(datagram, static_cast<std::size_t>(n));
        answers.clear();
        ends.clear();
        udpIn_.erase(0, AnswerFrames(registers_, udpIn_, answers, &ends));
        if (ends.empty()) continue;

        // Each answer is a datagram of its own, all sent with one call.
        std::vector<iovec> parts(ends.size());
        std::vector<mmsghdr> messages(ends.size());
        std::size_t from = 0;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            parts[i] = {answers.data() + from, ends[i] - from};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &sender;
            messages[i].msg_hdr.msg_namelen = senderSize;
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            from = ends[i];
        }
        sendmmsg(datagrams_, messages.data(), static_cast<unsigned>(messages.size()), 0);
    }
}

}  // namespace tarvik::bench
