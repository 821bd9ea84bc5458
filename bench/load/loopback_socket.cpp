#include "bench/load/loopback_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik::bench {

int ConnectToTarget(const LoadOptions& options, std::string& error) {
    if (!IsLoopbackTarget(options.host)) {
        error = "refusing target '" + options.host + "' outside 127.0.0.0/8";
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(options.port));
    if (inet_pton(AF_INET, NumericHost(options.host).c_str(), &address.sin_addr) != 1) {
        error = "bad address '" + options.host + "'";
        return -1;
    }

    const bool tcp = options.transport == Transport::Tcp;
    const int fd = socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "connect to " + options.host + ":" + std::to_string(options.port) + ": " +
                std::strerror(errno);
        close(fd);
        return -1;
    }
    if (tcp) {
        // Requests are batched here already; Nagle would only hold them back.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace tarvik::bench
