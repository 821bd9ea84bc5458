#include "testkit/loopback.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace tarvik::testing {

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int BindLoopback(int type, int port, bool reuseAddress) {
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (reuseAddress) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = LoopbackAddress(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) return 0;
    return ntohs(bound.sin_port);
}

}  // namespace tarvik::testing
