#include "ui/window_face.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

#include "slave/product_texts.h"
#include "ui/register_files.h"
#include "ui/status_bar_widget.h"

namespace tarvik {

WindowFace::WindowFace(const StartupSettings& settings, const FixedOptions& startOptions)
    : core_(settings, startOptions.Snapshot(), window_.Panels()) {
    window_.ShowRawBox()->setChecked(startOptions.showRawData);
    window_.ShowReadsBox()->setChecked(startOptions.showReads);
    window_.DontAnswerBox()->setChecked(startOptions.dontAnswer);
    window_.DelayAnswerBox()->setChecked(startOptions.delayAnswer);
    window_.DelayTextBox()->setText(QString::fromStdString(startOptions.delayText));
    // From now on every change of a control is a new snapshot for the core.
    QObject::connect(&window_, &MainWindow::OptionsChanged, &window_,
                     [this] { core_.SetOptions(window_.Options()); });
    QObject::connect(&core_, &SlaveCore::SocketFailed, &window_, [this](const SocketError& error) {
        window_.ShowSocketError(QString::fromStdString(error.text));
    });
    window_.AttachTrace(core_.Trace());
    window_.AttachUnits(core_.Units());
    QObject::connect(&core_, &SlaveCore::ConnectionColourChanged, &window_,
                     [this](int32_t colour) { window_.SetBackColor(colour); });
    QObject::connect(window_.ValuesAction(), &QAction::triggered, &window_,
                     [this] { OpenValues(); });
}

WindowFace::~WindowFace() {
    // It reads the core's points, which go before the window does.
    delete valuesWindow_;
    window_.DetachTrace();
}

void WindowFace::OpenValues() {
    if (valuesWindow_ == nullptr) {
        valuesWindow_ = new ValuesWindow(core_.Values(), core_.Units(), &window_);
        QObject::connect(&core_, &SlaveCore::ValuesReplaced, valuesWindow_, &ValuesWindow::Rebuild);
    }
    valuesWindow_->show();
    valuesWindow_->raise();
    valuesWindow_->activateWindow();
}

StartOutcome WindowFace::Start() {
    const bool panes = !core_.Settings().SimulatePAT;
    window_.HoldingPane()->setVisible(panes);
    window_.InputPane()->setVisible(panes);
    const CoreStart start = core_.Start();
    window_.setWindowTitle(QString::fromStdString(start.caption));
    return start.outcome;
}

void WindowFace::UseFaults(const FaultsSection& section, const std::string& settingsPath) {
    core_.UseFaults(section, settingsPath);
    faultMenu_ = new FaultMenu(window_, *window_.StatusBar(), core_.Faults());
    QObject::connect(&core_, &SlaveCore::FaultRulesReplaced, faultMenu_, &FaultMenu::Rebuild);
}

void WindowFace::Reload() {
    const ReloadReport report = core_.Reload();
    if (report.errors.empty()) return;
    window_.StatusBar()->ShowForAWhile(
        QStringLiteral("Reload failed: ") + QString::fromStdString(report.errors.front()),
        kReloadFailedShownMs);
}

void WindowFace::LoadRegistersFrom(const std::string& path) {
    if (LoadRegistersWithMessage(&window_, QString::fromStdString(path), core_.Units()))
        window_.ShowRegistersAgain();
}

std::unique_ptr<QMessageBox> MakeAllSocketsBusyBox(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, kProgramName, kAllSocketsBusy,
                                             QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

std::unique_ptr<QMessageBox> MakeSettingsErrorBox(QWidget* parent,
                                                  const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines) text << QString::fromStdString(line);
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, kProgramName,
                                             text.join(QLatin1Char('\n')), QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

}  // namespace tarvik
