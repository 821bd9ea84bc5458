#include "transport/raw_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik {

StreamIo SendSome(int fd, const char* data, std::size_t size) {
    StreamIo io;
    while (io.bytes < size) {
        const ssize_t n = ::send(fd, data + io.bytes, size - io.bytes, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            io.bytes += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) io.error = errno;
            break;
        }
    }
    return io;
}

StreamIo ReceiveOnce(int fd, char* into, std::size_t size) {
    StreamIo io;
    for (;;) {
        const ssize_t n = ::recv(fd, into, size, MSG_DONTWAIT);
        if (n > 0) {
            io.bytes = static_cast<std::size_t>(n);
        } else if (n == 0) {
            io.peerClosed = size > 0;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == ECONNRESET) {
            io.peerClosed = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            io.error = errno;
        }
        return io;
    }
}

bool PrepareStream(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) {
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // not for local streams
    return true;
}

bool PeerOf(int fd, std::string& dottedAddress, int32_t& port) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return false;
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            ::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
        } else {
            ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        }
        port = ntohs(v6.sin6_port);
    } else {
        return false;
    }
    dottedAddress = text;
    return true;
}

std::string ErrorText(int error) { return std::strerror(error); }

void CloseHandle(intptr_t handle) {
    if (handle >= 0) ::close(static_cast<int>(handle));
}

}  // namespace tarvik
