// An event-driven socket control: one TCP listener, one TCP connection or one
// UDP endpoint, driven by calls and answering through events.
//
// Events are always delivered from the event loop, one at a time, and never
// from inside a call the program made: a Close called by the program raises
// no CloseEvent, a Connect that cannot even start reports its Error later.
// Whatever a connection reports after the program closed or replaced it
// (late bytes, its close, its error) is dropped, so it never reaches the
// connection that took its place.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <string>

#include "dispatch/answer_sockets.h"
#include "engine/packet.h"

class QHostAddress;
class QHostInfo;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace tarvik {

enum class SocketProtocol { Tcp, Udp };

// Values of WinsockControl::State().
inline constexpr int kSocketClosed = 0;
inline constexpr int kSocketOpen = 1;            // UDP endpoint bound
inline constexpr int kSocketListening = 2;
inline constexpr int kSocketConnectionPending = 3;
inline constexpr int kSocketResolvingHost = 4;
inline constexpr int kSocketHostResolved = 5;
inline constexpr int kSocketConnecting = 6;
inline constexpr int kSocketConnected = kStateConnected;  // the state answer sending looks for
inline constexpr int kSocketPeerClosing = 8;
inline constexpr int kSocketError = 9;

// GetData hands out at most this much per call; the rest raises the next
// DataArrival at once, so one flood never becomes one giant packet.
inline constexpr std::size_t kMaxGetDataBytes = 64 * 1024;
// Larger than any IPv4 datagram, so a datagram is never cut.
inline constexpr qint64 kMaxDatagramBytes = 65536;

// While more than this waits to be written, because the peer does not read
// its answers, no DataArrival is raised: the peer's requests wait in the
// system's buffers until it reads again, instead of answers piling up here.
inline constexpr int64_t kWriteBacklogBytes = 1024 * 1024;

class WinsockControl : public QObject {
    Q_OBJECT
public:
    explicit WinsockControl(SocketProtocol protocol, QObject* parent = nullptr);
    ~WinsockControl() override;

    WinsockControl(const WinsockControl&) = delete;
    WinsockControl& operator=(const WinsockControl&) = delete;

    SocketProtocol Protocol() const { return protocol_; }

    // The port in use while listening, bound or connected; otherwise the
    // port last set. Setting fails (false) outside 0..65535 or while the
    // control is not closed. 0 asks the system for a free port.
    int32_t LocalPort() const;
    bool SetLocalPort(int32_t port);

    // TCP: where Connect goes. UDP: where SendData sends.
    const std::string& RemoteHost() const { return remoteHost_; }
    void SetRemoteHost(std::string host) { remoteHost_ = std::move(host); }

    // TCP: where Connect goes, then the peer's port once connected.
    // UDP: the sender's port after a datagram arrived.
    int32_t RemotePort() const { return remotePort_; }
    void SetRemotePort(int32_t port) { remotePort_ = port; }

    // Dotted IPv4 address of the connected peer (TCP) or of the sender of
    // the latest datagram (UDP); empty before the first.
    const std::string& RemoteHostIP() const { return remoteHostIP_; }

    // One of the kSocket* values: callers test for 0 and 7.
    int State() const { return state_; }

    // Each fails at once (false) when the port cannot be opened; the control
    // then stays closed and usable for another LocalPort. Every IPv4 address
    // of the machine is served.
    bool Listen();
    bool Bind();

    // Takes over the connection a ConnectionRequest offered, from inside that
    // event's handler; any connection in use is dropped first. False when the
    // request is unknown or already gone; the control then stays closed.
    bool Accept(int32_t requestID);

    // Starts a connection to RemoteHost:RemotePort over IPv4; success comes
    // as ConnectEvent, failure (an empty host or port 0 included) as Error.
    // False only when the control is not a closed TCP control.
    bool Connect();

    // Sends the bytes on the connection (TCP: at once, or together with the
    // rest when the DataArrival handler that sends them returns; what the
    // system cannot take yet is queued) or as one datagram to RemoteHost:
    // RemotePort (UDP). True when accepted.
    bool SendData(const Packet& data);

    // The bytes received and not yet taken, at most kMaxGetDataBytes (TCP),
    // or the datagram that raised the latest DataArrival (UDP).
    Packet GetData();

    // Closes without raising any event; State becomes 0.
    void Close();

    // Bytes SendData accepted for the connection and not yet handed to the
    // system.
    int64_t BytesToWrite() const;

    // Why the latest call failed, for diagnostics only.
    const QString& LastErrorText() const { return lastError_; }

signals:
    void ConnectionRequest(int32_t requestID);
    void ConnectEvent();
    void DataArrival(int32_t bytesTotal);
    void CloseEvent();
    void Error(int number, const QString& description);

private:
    class HandleListener;

    void NewGeneration();
    void DropEverything();
    void ClosePendingRequests();
    void AdoptSocket(QTcpSocket* socket);
    void StartConnecting(const QHostAddress& address);
    void OnLookupDone(uint64_t generation, const QHostInfo& info);
    void PostError(int number, const QString& description);
    void ScheduleArrival();

    void DeliverConnectionRequest(uint64_t generation);
    void DeliverConnected(uint64_t generation);
    void DeliverArrival(uint64_t generation);
    void DeliverPeerClosed(uint64_t generation);
    void DeliverError(uint64_t generation, int number, const QString& description);
    void OnReadyRead();
    void RaiseArrival(int64_t pending);
    bool WriteOut(const Packet& bytes);

    int64_t PendingBytes();
    void RememberPeer();

    SocketProtocol protocol_;
    int32_t localPort_ = 0;
    std::string remoteHost_;
    int32_t remotePort_ = 0;
    std::string remoteHostIP_;
    int state_ = kSocketClosed;
    QString lastError_;

    // Bumped by every Close and every new connection attempt; events carry
    // the value of their time and are dropped when it has moved on.
    uint64_t generation_ = 0;
    bool arrivalPosted_ = false;
    // Inside a DataArrival handler: TCP sends gather in outgoing_.
    bool delivering_ = false;
    Packet outgoing_;
    bool errorRaised_ = false;
    bool awaitingDrain_ = false;
    int lookupId_ = -1;

    HandleListener* listener_ = nullptr;
    std::deque<intptr_t> pendingRequests_;
    QTcpSocket* tcp_ = nullptr;
    QUdpSocket* udp_ = nullptr;
    Packet heldDatagram_;
    bool holdingDatagram_ = false;
};

}  // namespace tarvik
