#include "slave/slave_core.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include "engine/text_forms.h"
#include "slave/product_texts.h"

namespace tarvik {

SlaveCore::SlaveCore(const StartupSettings& settings, OperatorOptions& options,
                     StatusPanels& panels, TraceModel::Clock clock)
    : settings_(settings),
      panels_(panels),
      trace_(std::move(clock)),
      dispatcher_(options, trace_, sockets_, *this),
      engine_(EnginePorts{options, trace_, dispatcher_, *this, random_}, settings.SimulatePAT,
              settings.StandardWriteAnswer),
      manager_(sockets_, engine_, dispatcher_, *this, settings.SocketServer) {
    sockets_.data.SetRemoteHost(settings.RemoteHost);
    sockets_.data.SetRemotePort(settings.RemotePort);
    connect(&manager_, &ConnectionManager::ConnectionColourChanged, this,
            &SlaveCore::ConnectionColourChanged);

    sendTick_.setInterval(kSendTimerInterval);
    connect(&sendTick_, &QTimer::timeout, this, [this] { dispatcher_.SendTick(); });
    reconnectTick_.setInterval(kReconnectIntervalMs);
    connect(&reconnectTick_, &QTimer::timeout, this, [this] { manager_.ReconnectTick(); });
    sendTick_.start();
    reconnectTick_.start();
}

SlaveCore::~SlaveCore() {
    sendTick_.stop();
    reconnectTick_.stop();
    // No socket raises an event into a part that is going.
    sockets_.data.Close();
    sockets_.udp.Close();
    sockets_.listener.Close();
}

CoreStart SlaveCore::Start() {
    CoreStart start;
    start.caption = kWindowTitle;
    if (settings_.SocketServer) {
        const LocalPortOutcome opening =
            manager_.OpenLocalPort(settings_.LocalPorts, BindAddress());
        switch (opening.Outcome) {
            case PortOpening::Opened:
                if (!opening.Title.empty()) start.caption += " - " + opening.Title;
                start.caption += " (" + Decimal(sockets_.listener.LocalPort()) + ")";
                break;
            case PortOpening::ListUsedUp: start.outcome = StartOutcome::AllSocketsBusy; break;
            case PortOpening::StoppedAtEntryWithoutPort:
                start.outcome = StartOutcome::NoPortOpened;
                break;
        }
    }
    lastSocketState_ = kNoSocketStateShown;
    RefreshStatusBar();
    return start;
}

void SlaveCore::StartTraceFile(const std::string& path, uint64_t maxBytes) {
    if (path.empty()) return;
    std::string error;
    if (!outputs_.AddTraceFile(path, maxBytes, error))
        startWarnings_.push_back("Cannot open trace file " + path + ": " + error);
}

QHostAddress SlaveCore::BindAddress() {
    if (settings_.BindAddress.empty()) return QHostAddress(QHostAddress::AnyIPv4);
    const QHostAddress address(QString::fromStdString(settings_.BindAddress));
    const bool ours = address.protocol() == QAbstractSocket::IPv4Protocol &&
                      QNetworkInterface::allAddresses().contains(address);
    if (ours) return address;
    startWarnings_.push_back("BindAddress=" + settings_.BindAddress +
                             " is not an IPv4 address of this machine: no port can open");
    // Nothing can be opened on it: the list runs out as with every port in use.
    return address.protocol() == QAbstractSocket::IPv4Protocol ? address : QHostAddress();
}

void SlaveCore::RefreshStatusBar() { tarvik::RefreshStatusBar(panels_, *this, lastSocketState_); }

SocketState SlaveCore::DataState() const { return sockets_.data.State(); }
std::string SlaveCore::DataRemoteHostIP() const { return sockets_.data.RemoteHostIP(); }
std::string SlaveCore::DataRemoteHost() const { return sockets_.data.RemoteHost(); }
int32_t SlaveCore::DataRemotePort() const { return sockets_.data.RemotePort(); }
int32_t SlaveCore::ListenLocalPort() const { return sockets_.listener.LocalPort(); }
bool SlaveCore::SocketServer() const { return settings_.SocketServer; }
int32_t SlaveCore::PacketsReceived() const { return engine_.PacketsReceived(); }
int32_t SlaveCore::PacketsSent() const { return dispatcher_.PacketsSent(); }

}  // namespace tarvik
