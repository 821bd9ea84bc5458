#include "slave/slave_core.h"

#include "engine/text_forms.h"
#include "slave/bind_address.h"
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
        const BindChoice bind = ChooseBindAddress(settings_.BindAddress);
        if (!bind.warning.empty()) startWarnings_.push_back(bind.warning);
        const LocalPortOutcome opening = manager_.OpenLocalPort(settings_.LocalPorts, bind.address);
        switch (opening.Outcome) {
            case PortOpening::Opened:
                if (!opening.Title.empty()) start.caption += " - " + opening.Title;
                start.caption += " (" + Decimal(sockets_.listener.LocalPort()) + ")";
                break;
            case PortOpening::ListUsedUp:
                start.outcome = StartOutcome::AllSocketsBusy;
                if (auto failure = BindFailure(settings_.BindAddress, bind); !failure.empty())
                    startWarnings_.push_back(std::move(failure));
                break;
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
