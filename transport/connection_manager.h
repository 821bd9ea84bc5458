// The roles the sockets play: opening the local port, accepting the newest
// master, handing every arrival to the engine, closing on close and error,
// connecting out again in client mode, and the connection colour.
#pragma once

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/status_source.h"

namespace tarvik {

class AnswerDispatcher;
class SlaveEngine;
class SocketSet;
class StatusRefresh;

// Window background colours, BBGGRR.
inline constexpr int32_t kColourNotConnected = 255;    // red
inline constexpr int32_t kColourConnected = 65280;     // green
inline constexpr int32_t kColourUnset = -1;            // before the first tick

inline constexpr int kReConnectInterval = 100;  // ms

enum class PortOpening {
    Opened,                     // Title and Port name the entry
    ListUsedUp,                 // every entry tried, none opened
    StoppedAtEntryWithoutPort,  // an entry without a port ended the attempts
};

struct LocalPortOutcome {
    PortOpening Outcome = PortOpening::ListUsedUp;
    std::string Title;  // the opened entry's title, flag included
    int32_t Port = 0;   // Winsock_Connect.LocalPort once opened
};

class ConnectionManager final : public QObject, public StatusSource {
    Q_OBJECT
public:
    // Connects itself to the events of the three socket controls.
    ConnectionManager(SocketSet& sockets, SlaveEngine& engine, AnswerDispatcher& dispatcher,
                      StatusRefresh& status, bool socketServer, QObject* parent = nullptr);

    bool SocketServer() const override { return socketServer_; }
    bool UdpMode() const;

    // Server mode, once at start-up: tries the LocalPorts lines (each ended
    // by a NUL) in order until one opens as TCP, or as UDP when flagged U.
    LocalPortOutcome OpenLocalPort(std::string_view localPorts);

    // Event handlers.
    void Winsock_Connect_ConnectionRequest(int32_t requestID);
    void Winsock_Data_Connect();
    void Winsock_Data_DataArrival(int32_t bytesTotal);
    void Winsock_Data_Close();
    void Winsock_Data_Error();
    void Winsock_UDP_DataArrival(int32_t bytesTotal);
    void Timer_ReConnect_Timer();

    // The window's background colour; kColourUnset until the first tick.
    int32_t ConnectionColour() const { return colour_; }

    // What the status bar shows.
    int DataState() const override;
    std::string DataRemoteHostIP() const override;
    std::string DataRemoteHost() const override;
    int32_t DataRemotePort() const override;
    int32_t ListenLocalPort() const override;
    int32_t PacketsReceived() const override;
    int32_t PacketsSent() const override;

signals:
    // Raised only when the colour changes.
    void ConnectionColourChanged(int32_t colour);

private:
    bool OpenEntry(int32_t port, bool udp);

    SocketSet& sockets_;
    SlaveEngine& engine_;
    AnswerDispatcher& dispatcher_;
    StatusRefresh& status_;
    bool socketServer_;
    int32_t colour_ = kColourUnset;
};

}  // namespace tarvik
