#include "transport/connection_manager.h"

#include "transport/socket_limits.h"

namespace tarvik {

ConnectionManager::ConnectionManager(SocketSet& sockets, SlaveEngine& engine,
                                     AnswerDispatcher& dispatcher, bool socketServer,
                                     QObject* parent)
    : QObject(parent),
      sockets_(sockets),
      engine_(engine),
      dispatcher_(dispatcher),
      socketServer_(socketServer) {
    connect(&sockets_.listener, &TcpListener::ConnectionRequest, this,
            &ConnectionManager::OnConnectionRequest);
    connect(&sockets_.data, &TcpConnection::ConnectEvent, this, &ConnectionManager::OnConnected);
    sockets_.data.OnDataArrival([this] { OnDataArrival(); });
    connect(&sockets_.data, &TcpConnection::CloseEvent, this, &ConnectionManager::CloseData);
    connect(&sockets_.data, &TcpConnection::Failed, this, &ConnectionManager::OnDataFailed);
    sockets_.udp.OnDataArrival([this] { OnDatagram(); });
    connect(&sockets_.udp, &UdpEndpoint::Failed, this, &ConnectionManager::SocketFailed);
    // A slice waiting for the master to read its answers goes on once it has.
    connect(&sockets_.data, &TcpConnection::WriteBacklogDrained, this, [this] {
        if (engine_.ReleasePending()) ScheduleRelease();
    });
}

LocalPortOutcome ConnectionManager::OpenLocalPort(const std::vector<PortEntry>& entries,
                                                  const QHostAddress& bindAddress) {
    LocalPortOutcome outcome;
    for (const PortEntry& entry : entries) {
        if (entry.PortText.empty()) {
            outcome.Outcome = PortOpening::StoppedAtEntryWithoutPort;
            return outcome;
        }
        outcome.LastFailure = OpenEntry(entry, bindAddress);
        if (!outcome.LastFailure) {
            return {PortOpening::Opened, entry.Title, sockets_.listener.LocalPort(), {}};
        }
    }
    outcome.Outcome = PortOpening::ListUsedUp;
    return outcome;
}

std::optional<SocketError> ConnectionManager::OpenEntry(const PortEntry& entry,
                                                        const QHostAddress& bindAddress) {
    // The listener carries the port of every entry tried, UDP ones included.
    if (!sockets_.listener.SetLocalPort(entry.Port)) {
        return SocketError{SocketError::What::OpenFailed, "no such port"};
    }
    // An address that is none opens nothing, like a port in use.
    if (bindAddress.isNull()) {
        return SocketError{SocketError::What::OpenFailed, "no such local address"};
    }
    if (!entry.IsUdp()) return sockets_.listener.Listen(bindAddress);
    if (!sockets_.udp.SetLocalPort(entry.Port)) {
        return SocketError{SocketError::What::OpenFailed, "no such port"};
    }
    if (auto failure = sockets_.udp.Bind(bindAddress)) return failure;
    udpMode_ = true;
    // With port 0 the system chose one: show that one, not 0.
    sockets_.listener.SetLocalPort(sockets_.udp.LocalPort());
    return std::nullopt;
}

void ConnectionManager::OnConnectionRequest() {
    TcpConnection& data = sockets_.data;
    // One master at a time: the newest is served, the one in use dropped,
    // and the drop is shown before the newcomer.
    if (data.State() != SocketState::Closed) {
        data.Close();
        Changed();
    }
    engine_.ResetForNewConnection();
    dispatcher_.ResetPacketsSent();
    data.Accept(sockets_.listener.TakeOffered());  // a failed accept leaves the socket closed
    data.PauseReading(engine_.ReleasePending());
    Changed();
}

void ConnectionManager::OnConnected() {
    // Bytes the last connection left half a frame of would swallow the
    // first request of this one.
    engine_.ClearStreamBuffer();
    sockets_.data.PauseReading(engine_.ReleasePending());
    Changed();
}

void ConnectionManager::OnDataArrival() {
    const EngineStep step = engine_.ProcessPacket(sockets_.data.GetData(), sockets_.data.Serial());
    dispatcher_.CarryOut(step.steps);
    FollowUp();
}

void ConnectionManager::OnDatagram() {
    const Datagram datagram = sockets_.udp.GetData();
    const EngineStep step = engine_.ProcessDatagram(datagram.bytes, datagram.sender);
    dispatcher_.CarryOut(step.steps);
    FollowUp();
}

void ConnectionManager::FollowUp() {
    // A stream past its bound, or closed by a rule, was closed by its steps.
    const bool pending = engine_.ReleasePending();
    // While held frames are answered slice by slice, the master's next bytes
    // wait in the system's buffers: they go behind the held ones anyway, and
    // the receive buffer does not grow meanwhile.
    sockets_.data.PauseReading(pending);
    if (pending) ScheduleRelease();
    Changed();
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
        sockets_.data.PauseReading(false);
        return;
    }
    if (sockets_.data.BytesToWrite() > kWriteBacklogBytes) return;
    // A slice's answers leave in one write, as an arrival's do.
    sockets_.data.Gathered([&] { dispatcher_.CarryOut(engine_.ContinueRelease().steps); });
    FollowUp();
}

void ConnectionManager::OnDataFailed(const SocketError& error) {
    CloseData();
    emit SocketFailed(error);
}

void ConnectionManager::CloseData() {
    sockets_.data.Close();
    Changed();
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
