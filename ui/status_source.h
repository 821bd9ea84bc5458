// What the status bar shows, as the connection manager and the counters
// report it at the moment of a refresh.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

class StatusSource {
public:
    virtual ~StatusSource() = default;
    virtual int DataState() const = 0;                  // Winsock_Data.State
    virtual std::string DataRemoteHostIP() const = 0;   // Winsock_Data.RemoteHostIP
    virtual std::string DataRemoteHost() const = 0;     // Winsock_Data.RemoteHost
    virtual int32_t DataRemotePort() const = 0;         // Winsock_Data.RemotePort
    virtual int32_t ListenLocalPort() const = 0;        // Winsock_Connect.LocalPort
    virtual bool SocketServer() const = 0;
    virtual int32_t PacketsReceived() const = 0;
    virtual int32_t PacketsSent() const = 0;
};

}  // namespace tarvik
