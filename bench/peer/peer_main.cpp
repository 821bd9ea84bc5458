// tarvik_peer PORT [LIFETIME_SECONDS]: a TCP slave on 127.0.0.1 built the way
// a libmodbus user would build one: stock settings, one select() loop over
// the listening socket and every client, modbus_receive then modbus_reply.
// Port 0 picks a free one; the first line printed is "port N".
#include <modbus/modbus.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/args/server_args.h"
#include "testkit/loopback.h"

namespace {

constexpr int kRegisters = 2048;
constexpr int kBacklog = 16;

}  // namespace

int main(int argc, char** argv) {
    tarvik::bench::ServerArgs args;
    if (!tarvik::bench::ReadServerArgs(argc, argv, "tarvik_peer", args)) return 2;
    const long port = args.port;
    const long lifetime = args.lifetime;

    modbus_t* ctx = modbus_new_tcp("127.0.0.1", static_cast<int>(port));
    modbus_mapping_t* mapping = ctx ? modbus_mapping_new(0, 0, kRegisters, kRegisters) : nullptr;
    const int listener = mapping ? modbus_tcp_listen(ctx, kBacklog) : -1;
    if (listener < 0) {
        std::fprintf(stderr, "tarvik_peer: cannot serve 127.0.0.1:%ld: %s\n", port,
                     modbus_strerror(errno));
        if (mapping) modbus_mapping_free(mapping);
        if (ctx) modbus_free(ctx);
        return 1;
    }
    std::printf("port %d\n", tarvik::testing::BoundPort(listener));
    std::fflush(stdout);

    fd_set watched;
    FD_ZERO(&watched);
    FD_SET(listener, &watched);
    int highest = listener;
    std::vector<uint8_t> query(MODBUS_TCP_MAX_ADU_LENGTH);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(lifetime);

    while (std::chrono::steady_clock::now() < deadline) {
        fd_set ready = watched;
        timeval tick{1, 0};  // wake up now and then to see the lifetime out
        if (select(highest + 1, &ready, nullptr, nullptr, &tick) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int fd = 0; fd <= highest; ++fd) {
            if (!FD_ISSET(fd, &ready)) continue;
            if (fd == listener) {
                const int client = accept(listener, nullptr, nullptr);
                if (client < 0) continue;
                if (client >= FD_SETSIZE) {
                    close(client);
                    continue;
                }
                FD_SET(client, &watched);
                if (client > highest) highest = client;
                continue;
            }
            modbus_set_socket(ctx, fd);
            const int size = modbus_receive(ctx, query.data());
            if (size > 0) {
                modbus_reply(ctx, query.data(), size, mapping);
            } else if (size == -1) {
                close(fd);
                FD_CLR(fd, &watched);
                if (fd == highest) {
                    while (highest > listener && !FD_ISSET(highest, &watched)) --highest;
                }
            }
        }
    }

    for (int fd = 0; fd <= highest; ++fd) {
        if (FD_ISSET(fd, &watched)) close(fd);
    }
    modbus_mapping_free(mapping);
    modbus_free(ctx);
    return 0;
}
