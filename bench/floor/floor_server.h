// The floor slave's sockets: one epoll loop on one thread serving TCP
// clients and UDP senders on the same loopback port.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>

#include "bench/floor/floor_answers.h"

namespace tarvik::bench {

class FloorServer {
public:
    // Listens on 127.0.0.1:port for TCP and UDP; port 0 picks one free for
    // both. Empty, with `error` set, when the port cannot be had.
    static std::unique_ptr<FloorServer> Open(int port, std::string& error);
    ~FloorServer();

    FloorServer(const FloorServer&) = delete;
    FloorServer& operator=(const FloorServer&) = delete;

    int Port() const { return port_; }

    // Serves until `deadline` passes or `stopFd` (any descriptor: a signalfd,
    // an eventfd) turns readable.
    void Serve(std::chrono::steady_clock::time_point deadline, int stopFd);

private:
    struct Client {
        Packet in;   // at most the start of one frame between arrivals
        Packet out;  // answers a full socket buffer held back
        std::size_t outOffset = 0;
        bool blocked = false;  // waiting to write, not reading
    };

    FloorServer() = default;
    void Accept();
    void ReadClient(int fd, Client& client);
    void FlushClient(int fd, Client& client);
    void CloseClient(int fd);
    void ReadDatagrams();

    int port_ = 0;
    int listener_ = -1;
    int datagrams_ = -1;
    int epoll_ = -1;
    FloorRegisters registers_;
    std::unordered_map<int, Client> clients_;
    Packet udpIn_;  // one stream for every sender, as the emulator keeps it
};

}  // namespace tarvik::bench
