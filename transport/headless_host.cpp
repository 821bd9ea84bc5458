#include "transport/headless_host.h"

#include <utility>

namespace tarvik {

HostRole HostRole::Server(std::initializer_list<std::string_view> localPortLines) {
    HostRole role;
    role.SocketServer = true;
    for (const std::string_view line : localPortLines) {
        role.LocalPorts += line;
        role.LocalPorts += '\0';
    }
    return role;
}

HostRole HostRole::Client(std::string remoteHost, int32_t remotePort) {
    HostRole role;
    role.RemoteHost = std::move(remoteHost);
    role.RemotePort = remotePort;
    return role;
}

HeadlessHost::HeadlessHost(const HostRole& role)
    : dispatcher(options, trace, sockets, status),
      engine(EnginePorts{options, trace, dispatcher, status, random}, role.SimulatePAT),
      manager(sockets, engine, dispatcher, status, role.SocketServer) {
    sockets.Winsock_Data.SetRemoteHost(role.RemoteHost);
    sockets.Winsock_Data.SetRemotePort(role.RemotePort);
    if (role.SocketServer) opening_ = manager.OpenLocalPort(role.LocalPorts);

    Timer_Send.setInterval(kSendTimerInterval);
    QObject::connect(&Timer_Send, &QTimer::timeout, &Timer_Send,
                     [this] { dispatcher.Timer_Send_Timer(); });
    Timer_ReConnect.setInterval(kReConnectInterval);
    QObject::connect(&Timer_ReConnect, &QTimer::timeout, &Timer_ReConnect,
                     [this] { manager.Timer_ReConnect_Timer(); });
    Timer_Send.start();
    Timer_ReConnect.start();
}

}  // namespace tarvik
