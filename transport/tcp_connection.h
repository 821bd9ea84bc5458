// The one TCP data connection: taken over from the listener (server role)
// or connected out (client role), driven by calls and answering through
// events.
//
// Events are always delivered from the event loop, one at a time, and never
// from inside a call the program made: a Close called by the program raises
// no event, a Connect that cannot even start reports its Error later.
// Whatever a connection reports after the program closed or replaced it
// (late bytes, its close, its error) is dropped, so it never reaches the
// connection that took its place.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/packet.h"
#include "transport/host_lookup.h"
#include "transport/socket_error.h"
#include "transport/socket_state.h"

class QHostAddress;
class QTcpSocket;

namespace tarvik {

class DescriptorNotifier;

class TcpConnection final : public QObject {
    Q_OBJECT
public:
    explicit TcpConnection(QObject* parent = nullptr);
    ~TcpConnection() override;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Where Connect goes; once connected, RemotePort is the peer's port.
    const std::string& RemoteHost() const { return remoteHost_; }
    void SetRemoteHost(std::string host) { remoteHost_ = std::move(host); }
    int32_t RemotePort() const { return remotePort_; }
    void SetRemotePort(int32_t port) { remotePort_ = port; }
    // Dotted IPv4 address of the connected peer; empty before the first.
    const std::string& RemoteHostIP() const { return remoteHostIP_; }

    SocketState State() const { return state_; }

    // Numbers the connections: bumped at every accept and at every outgoing
    // connection established, so an answer can tell whether the connection
    // its request came on is still the one in use. 0 before the first.
    uint64_t Serial() const { return serial_; }

    // Takes over the connection a ConnectionRequest offered (the listener's
    // TakeOffered, from inside that event's handler), descriptor and all;
    // any connection in use is dropped first. False when there is none or it
    // is unusable; the connection then stays closed.
    bool Accept(intptr_t descriptor);

    // Starts connecting to RemoteHost:RemotePort over IPv4; success comes as
    // ConnectEvent, failure (an empty host or port 0 included) as Error.
    // False only when the connection is not closed.
    bool Connect();

    // Sends the bytes: at once, or together with the rest when the
    // arrival's handler that sends them returns; what the system cannot
    // take yet is queued. True when accepted.
    bool SendData(std::string_view data);

    // The bytes received and not yet taken, at most kMaxGetDataBytes; the
    // view holds until the next call.
    std::string_view GetData();

    // Closes without raising any event; State becomes Closed.
    void Close();

    // Runs `work`, gathering what it sends into one write at its end, as
    // the answers to one arrival are gathered.
    template <typename Work>
    void Gathered(Work&& work) {
        const bool outer = delivering_;
        delivering_ = true;
        work();
        delivering_ = outer;
        if (!outer) WriteGathered();  // the outermost sends for all
    }

    // Who takes the bytes: called from the event loop with bytes waiting in
    // GetData (never while reading is paused, and not while more than
    // kWriteBacklogBytes wait to be written). A plain call, not a signal:
    // it runs for every request. Returns the handler it replaces, so a
    // caller can wrap it.
    std::function<void()> OnDataArrival(std::function<void()> handler) {
        std::swap(arrival_, handler);
        return handler;
    }

    // Bytes accepted for the connection and not yet handed to the system.
    int64_t BytesToWrite() const;

    // While paused, no arrival is raised: bytes wait in the system's
    // buffers. Resuming raises the arrival the pause kept back.
    void PauseReading(bool paused);

signals:
    void ConnectEvent();
    void CloseEvent();
    void Failed(const SocketError& error);
    // The write backlog fell to kWriteBacklogBytes or below.
    void WriteBacklogDrained();

private:
    void NewGeneration();
    void DropEverything();
    void AdoptDescriptor(int fd);
    void StartConnecting(const QHostAddress& address);
    void PostError(SocketError error);
    void PostPeerClosed();
    void ScheduleArrival();
    void OnReadable();
    void OnWritable();
    void UpdateReading();
    bool WriteOut(std::string_view bytes);
    bool ReadingHeldBack() const;

    void DeliverConnected(uint64_t generation);
    void DeliverArrival(uint64_t generation);
    void DeliverPeerClosed(uint64_t generation);
    void DeliverError(uint64_t generation, const SocketError& error);
    void RaiseArrival();
    void WriteGathered();

    std::string remoteHost_;
    int32_t remotePort_ = 0;
    std::string remoteHostIP_;
    SocketState state_ = SocketState::Closed;
    uint64_t serial_ = 0;

    // Bumped by every Close and every new connection attempt; events carry
    // the value of their time and are dropped when it has moved on.
    uint64_t generation_ = 0;
    bool arrivalPosted_ = false;
    std::function<void()> arrival_;
    // Inside an arrival's handler: sends gather in outgoing_.
    bool delivering_ = false;
    Packet outgoing_;
    Packet sending_;  // the gathered answers on their way out
    bool errorRaised_ = false;
    bool paused_ = false;

    // The connected stream, read and written by us: the bytes go from the
    // system straight into inbox_, one recv per readable event.
    int fd_ = -1;
    DescriptorNotifier* readable_ = nullptr;
    DescriptorNotifier* writable_ = nullptr;
    // Two fixed buffers of kMaxGetDataBytes: GetData swaps them, so the view
    // it hands out holds while the next bytes are received.
    std::unique_ptr<char[]> inbox_;
    std::unique_ptr<char[]> handedOut_;
    std::size_t inboxSize_ = 0;
    // What the system did not take yet, written once the socket is writable.
    std::string backlog_;
    std::size_t backlogSent_ = 0;

    HostLookup lookup_;
    QTcpSocket* connecting_ = nullptr;  // the client role, until connected
};

}  // namespace tarvik
