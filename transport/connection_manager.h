// The roles the sockets play: opening the local port, accepting the newest
// master, handing every arrival to the engine and carrying out the steps it
// returns on the route the bytes came by, closing on close and error,
// connecting out again in client mode, and the connection colour.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/startup_settings.h"
#include "dispatch/answer_dispatcher.h"
#include "engine/slave_engine.h"
#include "transport/socket_error.h"
#include "transport/socket_set.h"

namespace tarvik {

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
    // Why the last entry tried did not open, when one did not.
    std::optional<SocketError> LastFailure;
};

class ConnectionManager final : public QObject {
    Q_OBJECT
public:
    // Connects itself to the events of the three sockets.
    ConnectionManager(SocketSet& sockets, SlaveEngine& engine, AnswerDispatcher& dispatcher,
                      bool socketServer, QObject* parent = nullptr);

    bool SocketServer() const { return socketServer_; }
    // True when the local port was opened as UDP.
    bool UdpMode() const { return udpMode_; }

    // Server mode, once at start-up: tries the entries in order until one
    // opens as TCP, or as UDP when flagged U, on `bindAddress` (every IPv4
    // address of the machine by default).
    LocalPortOutcome OpenLocalPort(
        const std::vector<PortEntry>& entries,
        const QHostAddress& bindAddress = QHostAddress(QHostAddress::AnyIPv4));

    // Called at the end of every event that may have changed what the
    // status bar shows. A plain call, not a signal: it runs for every
    // arrival.
    void OnChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    // Every 100 ms: client mode connects again when closed; the colour.
    void ReconnectTick();

    // The window's background colour; kColourUnset until the first tick.
    int32_t ConnectionColour() const { return colour_; }

signals:
    // Raised only when the colour changes.
    void ConnectionColourChanged(int32_t colour);
    // A socket reported trouble the user should see.
    void SocketFailed(const SocketError& error);

private:
    void OnConnectionRequest();
    void OnConnected();
    void OnDataArrival();
    void OnDatagram();
    void OnDataFailed(const SocketError& error);
    // After an arrival or a slice: more held frames wait to be answered.
    void FollowUp();
    void ScheduleRelease();
    void ContinueRelease();
    std::optional<SocketError> OpenEntry(const PortEntry& entry, const QHostAddress& bindAddress);
    void CloseData();
    void Changed() {
        if (changed_) changed_();
    }

    SocketSet& sockets_;
    SlaveEngine& engine_;
    AnswerDispatcher& dispatcher_;
    bool socketServer_;
    bool udpMode_ = false;
    int32_t colour_ = kColourUnset;
    bool releaseScheduled_ = false;
    std::function<void()> changed_;
};

}  // namespace tarvik
