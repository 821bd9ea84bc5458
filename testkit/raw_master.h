// A plain-socket Modbus/TCP master for tests that talk to the emulator from
// outside: exact bytes out, whole frames back (cut by their length field).
#pragma once

#include <chrono>
#include <optional>

#include "engine/packet.h"
#include "testkit/hex_bytes.h"
#include "testkit/request_frames.h"

namespace tarvik::testing {

using std::chrono::milliseconds;

class TcpMaster {
public:
    TcpMaster() = default;
    ~TcpMaster() { Close(); }
    TcpMaster(const TcpMaster&) = delete;

    // To 127.0.0.1 unless another IPv4 address is named.
    bool Connect(int port, const char* host = nullptr);
    bool Send(const Packet& bytes);
    // One answer frame (6-byte prefix, then Length bytes), or nullopt on time-out/close.
    std::optional<Packet> ReceiveFrame(milliseconds limit = std::chrono::seconds(5));
    // Up to n bytes: what came before the time-out/close.
    Packet ReceiveBytes(std::size_t n, milliseconds limit);
    void Close();

private:
    int fd_ = -1;
};

}  // namespace tarvik::testing
