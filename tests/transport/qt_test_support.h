// Shared pieces of the transport tests: the application object, bounded
// waits on the event loop, byte texts, and a master on a Qt socket that
// lives on the same event loop as the code under test.
#pragma once

#include <QTcpSocket>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::nettest {

// Upper bound of every wait; events normally come within milliseconds.
inline constexpr int kWaitMs = 5000;

// Runs the event loop until `done` holds or `ms` have passed.
bool WaitUntil(const std::function<bool()>& done, int ms = kWaitMs);

// "00 01 0A" -> bytes; blanks are ignored.
Packet Bytes(std::string_view hex);
// bytes -> "00 01 0A", for readable failures.
std::string Hex(const Packet& bytes);

// A TCP port that nothing listens on at the moment of the call.
quint16 UnusedTcpPort();

// Modbus/TCP request frames.
Packet ReadHoldingRequest(int transaction, int start, int quantity, int unit = 1);
Packet ReadInputRequest(int transaction, int start, int quantity, int unit = 1);
Packet WriteRegisterRequest(int transaction, int address, int value, int unit = 1);

class RawMaster {
public:
    RawMaster() = default;
    RawMaster(const RawMaster&) = delete;
    RawMaster& operator=(const RawMaster&) = delete;

    bool Connect(quint16 port, const char* host = "127.0.0.1");
    void Send(const Packet& bytes);
    // Waits for exactly `count` bytes; fewer when the wait runs out.
    Packet Read(std::size_t count, int ms = kWaitMs);
    // What has arrived so far, after one pass of the event loop.
    Packet TakeArrived();
    bool WaitClosed(int ms = kWaitMs);
    quint16 LocalPort() const { return socket_.localPort(); }
    QTcpSocket& Socket() { return socket_; }

private:
    QTcpSocket socket_;
};

}  // namespace tarvik::nettest
