// tarvik_floor PORT [LIFETIME_SECONDS]: the floor slave on 127.0.0.1, TCP and
// UDP on one port. Port 0 picks a free one; the first line printed is
// "port N". Ends on SIGTERM or SIGINT, or by itself when its lifetime is over.
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/floor/floor_server.h"

namespace {

constexpr long kDefaultLifetime = 1800;
constexpr long kMaxLifetime = 24 * 3600;

bool ReadNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    long port = 0;
    long lifetime = kDefaultLifetime;
    if (argc < 2 || argc > 3 || !ReadNumber(argv[1], 0, 65535, port) ||
        (argc == 3 && !ReadNumber(argv[2], 1, kMaxLifetime, lifetime))) {
        std::fprintf(stderr, "usage: tarvik_floor PORT [LIFETIME_SECONDS (1..%ld, default %ld)]\n",
                     kMaxLifetime, kDefaultLifetime);
        return 2;
    }

    // Stop signals arrive as a readable descriptor in the one event loop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    std::string error;
    auto server = tarvik::bench::FloorServer::Open(static_cast<int>(port), error);
    if (!server) {
        std::fprintf(stderr, "tarvik_floor: %s\n", error.c_str());
        return 1;
    }
    std::printf("port %d\n", server->Port());
    std::fflush(stdout);
    server->Serve(std::chrono::steady_clock::now() + std::chrono::seconds(lifetime), stopFd);
    if (stopFd >= 0) close(stopFd);
    return 0;
}
