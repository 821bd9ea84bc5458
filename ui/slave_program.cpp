#include "ui/slave_program.h"

#include <QGroupBox>
#include <QMessageBox>

#include "config/startup_settings.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

constexpr int kSendInterval = 100;  // ms, the countdown step of delayed answers

}  // namespace

SlaveProgram::SlaveProgram(std::string appFolder)
    : appFolder_(std::move(appFolder)),
      window_(trace_),
      dispatcher_(window_, window_.DebugTrace(), sockets_, window_) {
    Timer_Send.setInterval(kSendInterval);
    QObject::connect(&Timer_Send, &QTimer::timeout, [this] { dispatcher_.Timer_Send_Timer(); });
    Timer_ReConnect.setInterval(kReConnectInterval);
    QObject::connect(&Timer_ReConnect, &QTimer::timeout, [this] {
        if (manager_) manager_->Timer_ReConnect_Timer();
    });
    // Running from creation; ticks are handled once the event loop runs.
    Timer_Send.start();
    Timer_ReConnect.start();
}

SlaveProgram::~SlaveProgram() {
    Timer_Send.stop();
    Timer_ReConnect.stop();
    // The manager's sockets stop raising events before the engine goes.
    manager_.reset();
    sockets_.Winsock_Data.Close();
    sockets_.Winsock_UDP.Close();
    sockets_.Winsock_Connect.Close();
}

StartOutcome SlaveProgram::Form_Load() {
    random_ = std::make_unique<ClockSeededRandom>();

    const SettingsFile settings(appFolder_);
    const StartupSettings startup = ReadStartupSettings(settings);
    sockets_.Winsock_Data.SetRemoteHost(startup.RemoteHost);
    sockets_.Winsock_Data.SetRemotePort(startup.RemotePort);

    window_.Frame(0)->setVisible(!startup.SimulatePAT);
    window_.Frame(1)->setVisible(!startup.SimulatePAT);

    engine_ = std::make_unique<SlaveEngine>(
        EnginePorts{window_, window_.DebugTrace(), dispatcher_, window_, *random_}, startup.SimulatePAT);
    window_.AttachRegisters(engine_->Registers());
    manager_ = std::make_unique<ConnectionManager>(sockets_, *engine_, dispatcher_, window_,
                                                   startup.SocketServer);
    QObject::connect(manager_.get(), &ConnectionManager::ConnectionColourChanged, &window_,
                     [this](int32_t colour) { window_.SetBackColor(colour); });
    window_.AttachStatusSource(*manager_);

    StartOutcome outcome = StartOutcome::Running;
    if (startup.SocketServer) {
        const LocalPortOutcome opening = manager_->OpenLocalPort(startup.LocalPorts);
        switch (opening.Outcome) {
            case PortOpening::Opened: {
                std::string title = kWindowTitle;
                if (!opening.Title.empty()) title += " - " + opening.Title;
                title += " (" + Decimal(sockets_.Winsock_Connect.LocalPort()) + ")";
                window_.setWindowTitle(QString::fromStdString(title));
                break;
            }
            case PortOpening::ListUsedUp: outcome = StartOutcome::AllSocketsBusy; break;
            case PortOpening::StoppedAtEntryWithoutPort: outcome = StartOutcome::NoPortOpened; break;
        }
    }

    window_.SetLastSocketState(-1);
    window_.RefreshStatusBar();
    return outcome;
}

std::unique_ptr<QMessageBox> MakeAllSocketsBusyBox(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, kProgramName, kAllSocketsBusy,
                                             QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

}  // namespace tarvik
