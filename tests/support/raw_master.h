// A plain-socket Modbus master for tests that talk to the emulator from
// outside: exact bytes out, whole frames back (cut by their length field).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tarvik::testing {

using Bytes = std::string;

// Request frames as a master builds them.
Bytes ReadRequest(int transaction, int function, int start, int quantity, int unit = 1);
Bytes WriteSingleRequest(int transaction, int address, int value, int unit = 1);
Bytes WriteMultipleRequest(int transaction, int start, const std::string& words, int unit = 1);
Bytes Frame(int transaction, int unit, const Bytes& pdu);

class TcpMaster {
public:
    TcpMaster() = default;
    ~TcpMaster();
    TcpMaster(const TcpMaster&) = delete;

    bool Connect(int port, std::chrono::milliseconds limit = std::chrono::seconds(5));
    bool Send(const Bytes& bytes);
    // One answer frame (6-byte prefix, then Length bytes), or nullopt on time-out/close.
    std::optional<Bytes> ReceiveFrame(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Exactly n bytes, or what came before the time-out/close.
    Bytes ReceiveBytes(std::size_t n, std::chrono::milliseconds limit);
    void Close();

private:
    int fd_ = -1;
};

class UdpMaster {
public:
    UdpMaster();
    ~UdpMaster();
    UdpMaster(const UdpMaster&) = delete;
    UdpMaster& operator=(const UdpMaster&) = delete;

    bool SendTo(int port, const Bytes& datagram);
    std::optional<Bytes> Receive(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    int fd_ = -1;
};

}  // namespace tarvik::testing
