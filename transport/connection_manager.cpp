#include "transport/connection_manager.h"

#include "config/startup_settings.h"
#include "config/text_helpers.h"
#include "dispatch/answer_dispatcher.h"
#include "engine/slave_engine.h"
#include "transport/socket_limits.h"
#include "transport/socket_set.h"

namespace tarvik {

ConnectionManager::ConnectionManager(SocketSet& sockets, SlaveEngine& engine,
                                     AnswerDispatcher& dispatcher, StatusRefresh& status,
                                     bool socketServer, QObject* parent)
    : QObject(parent),
      sockets_(sockets),
      engine_(engine),
      dispatcher_(dispatcher),
      status_(status),
      socketServer_(socketServer) {
    connect(&sockets_.listener, &TcpListener::ConnectionRequest, this,
            &ConnectionManager::OnConnectionRequest);
    connect(&sockets_.data, &TcpConnection::ConnectEvent, this, &ConnectionManager::OnConnected);
    connect(&sockets_.data, &TcpConnection::DataArrival, this, &ConnectionManager::OnDataArrival);
    connect(&sockets_.data, &TcpConnection::CloseEvent, this, &ConnectionManager::OnDataClosed);
    connect(&sockets_.data, &TcpConnection::Error, this, &ConnectionManager::OnDataError);
    connect(&sockets_.udp, &UdpEndpoint::DataArrival, this, &ConnectionManager::OnDatagram);
    // A slice waiting for the master to read its answers goes on once it has.
    connect(&sockets_.data, &TcpConnection::WriteBacklogDrained, this, [this] {
        if (engine_.ReleasePending()) ScheduleRelease();
    });
    sockets_.FollowSenders(engine_);
}

LocalPortOutcome ConnectionManager::OpenLocalPort(std::string_view localPorts,
                                                  const QHostAddress& bindAddress) {
    for (int i = 0;; ++i) {
        const std::string line = GetField(localPorts, i, '\0');
        if (line.empty()) return {PortOpening::ListUsedUp, {}, 0};
        const PortEntry entry = ParsePortEntry(line);
        if (entry.PortText.empty()) return {PortOpening::StoppedAtEntryWithoutPort, {}, 0};
        if (OpenEntry(entry.Port, entry.IsUdp(), bindAddress))
            return {PortOpening::Opened, entry.Title, sockets_.listener.LocalPort()};
    }
}

bool ConnectionManager::OpenEntry(int32_t port, bool udp, const QHostAddress& bindAddress) {
    // The listener carries the port of every entry tried, UDP ones included.
    if (!sockets_.listener.SetLocalPort(port)) return false;
    // An address that is none opens nothing, like a port in use.
    if (bindAddress.isNull()) return false;
    if (!udp) return sockets_.listener.Listen(bindAddress);
    if (!sockets_.udp.SetLocalPort(port) || !sockets_.udp.Bind(bindAddress)) return false;
    sockets_.SetUdpMode(true);
    // With port 0 the system chose one: show that one, not 0.
    sockets_.listener.SetLocalPort(sockets_.udp.LocalPort());
    return true;
}

void ConnectionManager::OnConnectionRequest(int32_t requestID) {
    TcpConnection& data = sockets_.data;
    // One master at a time: the newest is served, the one in use dropped.
    if (data.State() != SocketState::Closed) {
        data.Close();
        // The status bar compares by socket state, which is connected before
        // and after: show the drop, so the new peer's address replaces the old.
        status_.RefreshStatusBar();
    }
    engine_.ResetForNewConnection();
    dispatcher_.ResetPacketsSent();
    data.Accept(requestID);  // a failed accept leaves the socket closed
    data.HoldArrivals(engine_.ReleasePending());
    status_.RefreshStatusBar();
}

void ConnectionManager::OnConnected() {
    // Bytes the last connection left half a frame of would swallow the
    // first request of this one.
    engine_.ClearStreamBuffer();
    sockets_.data.HoldArrivals(engine_.ReleasePending());
    status_.RefreshStatusBar();
}

void ConnectionManager::OnDataArrival() {
    const Packet packet = sockets_.data.GetData();
    FollowUp(engine_.ProcessPacket(packet));
}

void ConnectionManager::FollowUp(ArrivalOutcome outcome) {
    if (outcome == ArrivalOutcome::CloseConnection) CloseData();
    const bool pending = engine_.ReleasePending();
    // While held frames are answered slice by slice, the master's next bytes
    // wait in the system's buffers: they go behind the held ones anyway, and
    // the receive buffer does not grow meanwhile.
    sockets_.data.HoldArrivals(pending);
    if (pending) ScheduleRelease();
}

void ConnectionManager::ScheduleRelease() {
    if (releaseScheduled_) return;
    // Answers waiting to be written past the mark: bytesWritten brings us back.
    if (sockets_.data.BytesToWrite() > kWriteBacklogBytes) return;
    releaseScheduled_ = true;
    // A later pass of the event loop, so the answers of this slice are
    // written and the window is painted in between.
    QMetaObject::invokeMethod(
        this, [this] { ContinueRelease(); }, Qt::QueuedConnection);
}

void ConnectionManager::ContinueRelease() {
    releaseScheduled_ = false;
    if (!engine_.ReleasePending()) {
        sockets_.data.HoldArrivals(false);
        return;
    }
    if (sockets_.data.BytesToWrite() > kWriteBacklogBytes) return;
    // A slice's answers leave in one write, as an arrival's do.
    ArrivalOutcome outcome = ArrivalOutcome::Handled;
    sockets_.data.Gathered([&] { outcome = engine_.ContinueRelease(); });
    FollowUp(outcome);
}

void ConnectionManager::OnDataClosed() { CloseData(); }

void ConnectionManager::OnDataError() { CloseData(); }

void ConnectionManager::CloseData() {
    sockets_.data.Close();
    status_.RefreshStatusBar();
}

void ConnectionManager::OnDatagram() {
    const Datagram datagram = sockets_.udp.GetData();
    // Answers go back to the sender of their own request.
    FollowUp(
        engine_.ProcessDatagram(datagram.bytes, SenderKey{datagram.senderIP, datagram.senderPort}));
}

void ConnectionManager::ReconnectTick() {
    TcpConnection& data = sockets_.data;
    if (!socketServer_ && data.State() == SocketState::Closed) data.Connect();
    const int32_t wanted =
        data.State() == SocketState::Connected ? kColourConnected : kColourNotConnected;
    if (colour_ == wanted) return;
    colour_ = wanted;
    emit ConnectionColourChanged(colour_);
}

}  // namespace tarvik
