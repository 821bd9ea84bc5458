// The roles the sockets play: opening the local port, accepting the newest
// master, handing every arrival to the engine, closing on close and error,
// connecting out again in client mode, and the connection colour.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/slave_engine.h"

namespace tarvik {

class AnswerDispatcher;
class SocketSet;
class StatusRefresh;

// Window background colours, BBGGRR.
inline constexpr int32_t kColourNotConnected = 255;  // red
inline constexpr int32_t kColourConnected = 65280;   // green
inline constexpr int32_t kColourUnset = -1;          // before the first tick

inline constexpr int kReconnectIntervalMs = 100;

enum class PortOpening {
    Opened,                     // Title and Port name the entry
    ListUsedUp,                 // every entry tried, none opened
    StoppedAtEntryWithoutPort,  // an entry without a port ended the attempts
};

struct LocalPortOutcome {
    PortOpening Outcome = PortOpening::ListUsedUp;
    std::string Title;  // the opened entry's title, flag included
    int32_t Port = 0;   // the listener's LocalPort once opened
};

class ConnectionManager final : public QObject {
    Q_OBJECT
public:
    // Connects itself to the events of the three sockets.
    ConnectionManager(SocketSet& sockets, SlaveEngine& engine, AnswerDispatcher& dispatcher,
                      StatusRefresh& status, bool socketServer, QObject* parent = nullptr);

    bool SocketServer() const { return socketServer_; }

    // Server mode, once at start-up: tries the LocalPorts lines (each ended
    // by a NUL) in order until one opens as TCP, or as UDP when flagged U,
    // on `bindAddress` (every IPv4 address of the machine by default).
    LocalPortOutcome OpenLocalPort(
        std::string_view localPorts,
        const QHostAddress& bindAddress = QHostAddress(QHostAddress::AnyIPv4));

    // Event handlers.
    void OnConnectionRequest(int32_t requestID);  // accepts the newest master
    void OnConnected();
    void OnDataArrival();
    void OnDataClosed();
    void OnDataError();
    void OnDatagram();
    // Every 100 ms: client mode connects again when closed; the colour.
    void ReconnectTick();

    // The window's background colour; kColourUnset until the first tick.
    int32_t ConnectionColour() const { return colour_; }

signals:
    // Raised only when the colour changes.
    void ConnectionColourChanged(int32_t colour);

private:
    // After an arrival or a slice: more held frames wait to be answered.
    void FollowUp(ArrivalOutcome outcome);
    void ScheduleRelease();
    void ContinueRelease();
    bool OpenEntry(int32_t port, bool udp, const QHostAddress& bindAddress);
    void CloseData();

    SocketSet& sockets_;
    SlaveEngine& engine_;
    AnswerDispatcher& dispatcher_;
    StatusRefresh& status_;
    bool socketServer_;
    int32_t colour_ = kColourUnset;
    bool releaseScheduled_ = false;
};

}  // namespace tarvik
