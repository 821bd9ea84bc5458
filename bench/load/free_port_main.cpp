// tarvik_free_port: prints a loopback port number that is free for TCP and
// UDP alike at this moment, for starting a program that needs its port named
// in advance.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kTries = 50;

int BoundSocket(int type, uint16_t port) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main() {
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const int tcp = BoundSocket(SOCK_STREAM, 0);
        if (tcp < 0) break;
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        getsockname(tcp, reinterpret_cast<sockaddr*>(&bound), &size);
        const int udp = BoundSocket(SOCK_DGRAM, ntohs(bound.sin_port));
        close(tcp);
        if (udp < 0) continue;
        close(udp);
        std::printf("%d\n", ntohs(bound.sin_port));
        return 0;
    }
    std::fputs("tarvik_free_port: no free port found\n", stderr);
    return 1;
}
