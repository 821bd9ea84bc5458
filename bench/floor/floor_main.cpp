// tarvik_floor PORT [LIFETIME_SECONDS]: the floor slave on 127.0.0.1, TCP and
// UDP on one port. Port 0 picks a free one; the first line printed is
// "port N". Ends on SIGTERM or SIGINT, or by itself when its lifetime is over.
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "bench/args/server_args.h"
#include "bench/floor/floor_server.h"

int main(int argc, char** argv) {
    tarvik::bench::ServerArgs args;
    if (!tarvik::bench::ReadServerArgs(argc, argv, "tarvik_floor", args)) return 2;
    const long port = args.port;
    const long lifetime = args.lifetime;

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
