#include "transport/connection_manager.h"

#include "config/startup_settings.h"
#include "config/text_helpers.h"
#include "dispatch/answer_dispatcher.h"
#include "engine/slave_engine.h"
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
    connect(&sockets_.Winsock_Connect, &WinsockControl::ConnectionRequest, this,
            &ConnectionManager::Winsock_Connect_ConnectionRequest);
    connect(&sockets_.Winsock_Data, &WinsockControl::ConnectEvent, this,
            &ConnectionManager::Winsock_Data_Connect);
    connect(&sockets_.Winsock_Data, &WinsockControl::DataArrival, this,
            &ConnectionManager::Winsock_Data_DataArrival);
    connect(&sockets_.Winsock_Data, &WinsockControl::CloseEvent, this,
            &ConnectionManager::Winsock_Data_Close);
    connect(&sockets_.Winsock_Data, &WinsockControl::Error, this,
            &ConnectionManager::Winsock_Data_Error);
    connect(&sockets_.Winsock_UDP, &WinsockControl::DataArrival, this,
            &ConnectionManager::Winsock_UDP_DataArrival);
}

bool ConnectionManager::UdpMode() const { return sockets_.UdpMode(); }

LocalPortOutcome ConnectionManager::OpenLocalPort(std::string_view localPorts) {
    for (int i = 0;; ++i) {
        const std::string line = GetField(localPorts, i, '\0');
        if (line.empty()) return {PortOpening::ListUsedUp, {}, 0};
        const PortEntry entry = ParsePortEntry(line);
        if (entry.PortText.empty()) return {PortOpening::StoppedAtEntryWithoutPort, {}, 0};
        if (OpenEntry(entry.Port, entry.IsUdp()))
            return {PortOpening::Opened, entry.Title, sockets_.Winsock_Connect.LocalPort()};
    }
}

bool ConnectionManager::OpenEntry(int32_t port, bool udp) {
    // The listener carries the port of every entry tried, UDP ones included.
    if (!sockets_.Winsock_Connect.SetLocalPort(port)) return false;
    if (!udp) return sockets_.Winsock_Connect.Listen();
    if (!sockets_.Winsock_UDP.SetLocalPort(port) || !sockets_.Winsock_UDP.Bind()) return false;
    sockets_.SetUdpMode(true);
    // With port 0 the system chose one: show that one, not 0.
    sockets_.Winsock_Connect.SetLocalPort(sockets_.Winsock_UDP.LocalPort());
    return true;
}

void ConnectionManager::Winsock_Connect_ConnectionRequest(int32_t requestID) {
    WinsockControl& data = sockets_.Winsock_Data;
    // One master at a time: the newest is served, the one in use dropped.
    if (data.State() != kSocketClosed) {
        data.Close();
        // The status bar compares by socket state, which is connected before
        // and after: show the drop, so the new peer's address replaces the old.
        status_.RefreshStatusBar();
    }
    engine_.ResetForNewConnection();
    dispatcher_.ResetPacketsSent();
    data.Accept(requestID);  // a failed accept leaves the socket closed
    status_.RefreshStatusBar();
}

void ConnectionManager::Winsock_Data_Connect() { status_.RefreshStatusBar(); }

void ConnectionManager::Winsock_Data_DataArrival(int32_t /*bytesTotal*/) {
    WinsockControl& data = sockets_.Winsock_Data;
    const Packet packet = data.GetData();
    if (engine_.ProcessPacket(packet, ArrivalKind::Stream) == ArrivalOutcome::CloseConnection) {
        data.Close();
        status_.RefreshStatusBar();
    }
}

void ConnectionManager::Winsock_Data_Close() {
    sockets_.Winsock_Data.Close();
    status_.RefreshStatusBar();
}

void ConnectionManager::Winsock_Data_Error() {
    sockets_.Winsock_Data.Close();
    status_.RefreshStatusBar();
}

void ConnectionManager::Winsock_UDP_DataArrival(int32_t /*bytesTotal*/) {
    WinsockControl& udp = sockets_.Winsock_UDP;
    const Packet packet = udp.GetData();
    // Answers to this datagram go back to its sender.
    udp.SetRemoteHost(udp.RemoteHostIP());
    engine_.ProcessPacket(packet, ArrivalKind::Datagram);
}

void ConnectionManager::Timer_ReConnect_Timer() {
    WinsockControl& data = sockets_.Winsock_Data;
    if (!socketServer_ && data.State() == kSocketClosed) data.Connect();
    const int32_t wanted = data.State() == kSocketConnected ? kColourConnected : kColourNotConnected;
    if (colour_ == wanted) return;
    colour_ = wanted;
    emit ConnectionColourChanged(colour_);
}

int ConnectionManager::DataState() const { return sockets_.Winsock_Data.State(); }

std::string ConnectionManager::DataRemoteHostIP() const {
    return sockets_.Winsock_Data.RemoteHostIP();
}

std::string ConnectionManager::DataRemoteHost() const { return sockets_.Winsock_Data.RemoteHost(); }

int32_t ConnectionManager::DataRemotePort() const { return sockets_.Winsock_Data.RemotePort(); }

int32_t ConnectionManager::ListenLocalPort() const { return sockets_.Winsock_Connect.LocalPort(); }

int32_t ConnectionManager::PacketsReceived() const { return engine_.PacketsReceived(); }

int32_t ConnectionManager::PacketsSent() const { return dispatcher_.PacketsSent(); }

}  // namespace tarvik
