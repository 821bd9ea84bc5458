// tarvik_free_port: prints a loopback port number that is free for TCP and
// UDP alike at this moment, for starting a program that needs its port named
// in advance.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "testkit/loopback.h"

namespace {

using tarvik::testing::BindLoopback;
using tarvik::testing::BoundPort;

constexpr int kTries = 50;

}  // namespace

int main() {
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const int tcp = BindLoopback(SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (tcp < 0) break;
        const int port = BoundPort(tcp);
        const int udp = BindLoopback(SOCK_DGRAM | SOCK_CLOEXEC, port);
        close(tcp);
        if (udp < 0) continue;
        close(udp);
        std::printf("%d\n", port);
        return 0;
    }
    std::fputs("tarvik_free_port: no free port found\n", stderr);
    return 1;
}
