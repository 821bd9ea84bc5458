#include "slave/slave_core.h"

#include "engine/text_forms.h"
#include "slave/bind_address.h"
#include "slave/product_texts.h"
#include "slave/settings_reload.h"

namespace tarvik {

SlaveCore::SlaveCore(const StartupSettings& settings, const OperatorOptions& options,
                     StatusPanels& panels, TraceModel::Clock clock)
    : settings_(settings),
      panels_(panels),
      trace_(std::move(clock)),
      dispatcher_(trace_, sockets_),
      engine_(random_, settings.SimulatePAT, settings.StandardWriteAnswer),
      manager_(sockets_, engine_, dispatcher_, settings.SocketServer) {
    engine_.ServeUnits(settings.UnitsServed, settings.UnitsAbsent);
    engine_.SetOptions(options);
    sockets_.data.SetRemoteHost(settings.RemoteHost);
    sockets_.data.SetRemotePort(settings.RemotePort);
    connect(&manager_, &ConnectionManager::ConnectionColourChanged, this,
            &SlaveCore::ConnectionColourChanged);
    // Once at the end of every socket event that may have changed what the
    // panels show: a connection that comes and goes within one pass of the
    // event loop is still shown.
    manager_.OnChanged([this] { RefreshStatusBar(); });
    connect(&manager_, &ConnectionManager::SocketFailed, this, &SlaveCore::ReportSocketError);

    sendTick_.setInterval(kSendTimerInterval);
    connect(&sendTick_, &QTimer::timeout, this, [this] {
        // The sent count changed: show it now rather than at the next arrival.
        if (dispatcher_.SendTick()) RefreshStatusBar();
    });
    reconnectTick_.setInterval(kReconnectIntervalMs);
    connect(&reconnectTick_, &QTimer::timeout, this, [this] { manager_.ReconnectTick(); });
    sendTick_.start();
    reconnectTick_.start();
    valuesTick_.setInterval(kValuesTickMs);
    // A coarse timer may run late by a twentieth; the values must not.
    valuesTick_.setTimerType(Qt::PreciseTimer);
    connect(&valuesTick_, &QTimer::timeout, this,
            [this] { values_.Update(engine_.Units(), random_); });
    reload_.Add([this](ReloadReport& report) {
        if (settingsPath_.empty()) return;
        if (!ReloadSettingsSections(settingsPath_, ServedUnitsOf(settings_.UnitsServed), faults_,
                                    values_, report))
            return;
        RestartValues();
        emit FaultRulesReplaced();
        emit ValuesReplaced();
    });
}

void SlaveCore::UseFaults(const FaultsSection& section, const std::string& settingsPath) {
    faults_.Take(section);
    settingsPath_ = settingsPath;
}

void SlaveCore::UseValues(const ValueSections& sections) {
    values_.Take(sections);
    RestartValues();
}

void SlaveCore::RestartValues() {
    if (!values_.HasGenerators()) {
        valuesTick_.stop();
        return;
    }
    values_.Restart();
    values_.Update(engine_.Units(), random_);
    valuesTick_.start();
}

SlaveCore::~SlaveCore() {
    valuesTick_.stop();
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
    // The clock starts with the port: a registers file loaded meanwhile does
    // not hide the generated values until the first tick.
    RestartValues();
    panelWriter_.Forget();
    RefreshStatusBar();
    return start;
}

void SlaveCore::StartTraceFile(const std::string& path, uint64_t maxBytes) {
    if (path.empty()) return;
    std::string error;
    if (!outputs_.AddTraceFile(path, maxBytes, error))
        startWarnings_.push_back("Cannot open trace file " + path + ": " + error);
}

void SlaveCore::ReportSocketError(const SocketError& error) {
    // The start-up notices and the status bar already name the missing host.
    if (error.what == SocketError::What::NoRemote) return;
    // Client mode tries again every 100 ms: the same failure is told once,
    // until a connection is made or the failure changes.
    if (lastError_ && lastError_->what == error.what && lastError_->text == error.text) return;
    lastError_ = error;
    emit SocketFailed(error);
}

void SlaveCore::RefreshStatusBar() {
    if (sockets_.data.State() == SocketState::Connected) lastError_.reset();
    panelWriter_.Refresh(panels_, CurrentStatus());
}

StatusView SlaveCore::CurrentStatus() const {
    const TcpConnection& data = sockets_.data;
    return StatusView{data.State(),
                      data.RemoteHostIP(),
                      data.RemoteHost(),
                      data.RemotePort(),
                      sockets_.listener.LocalPort(),
                      settings_.SocketServer,
                      sockets_.listener.State() != SocketState::Closed || manager_.UdpMode(),
                      engine_.PacketsReceived(),
                      dispatcher_.PacketsSent()};
}

}  // namespace tarvik
