// The program with its window: the core shown and driven by the operator
// window. Start-up builds both from the settings, hides the register panes
// while canned answers are on, opens the port and writes the caption.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/startup_settings.h"
#include "slave/fixed_options.h"
#include "slave/slave_core.h"
#include "ui/fault_menu.h"
#include "ui/main_window.h"
#include "ui/values_window.h"

class QMessageBox;
class QWidget;

namespace tarvik {

class WindowFace {
public:
    // The window's option controls start from `startOptions`.
    WindowFace(const StartupSettings& settings, const FixedOptions& startOptions);
    ~WindowFace();
    WindowFace(const WindowFace&) = delete;
    WindowFace& operator=(const WindowFace&) = delete;

    // The start-up, once: does not show the window and does not run the
    // event loop.
    StartOutcome Start();

    // The fault rules read at start (none after an error) and where a
    // reload reads them again; builds the Faults menu and panel.
    void UseFaults(const FaultsSection& section, const std::string& settingsPath);
    // The reload signal: the core's reload; a failure shows in the status
    // bar's first panel for a while.
    void Reload();

    // Loads a registers file before any port opens; a failure is a message
    // box and leaves the registers at 0.
    void LoadRegistersFrom(const std::string& path);

    MainWindow& Window() { return window_; }
    SlaveCore& Core() { return core_; }
    // Null until UseFaults.
    FaultMenu* Faults() const { return faultMenu_; }
    // View > Values...: shows the Values window, made on first use.
    void OpenValues();
    // Null until first opened.
    ValuesWindow* Values() const { return valuesWindow_; }

private:
    MainWindow window_;
    SlaveCore core_;
    FaultMenu* faultMenu_ = nullptr;        // owned by the window
    ValuesWindow* valuesWindow_ = nullptr;  // owned by the window
};

// How long a failed reload stays in the status bar.
inline constexpr int kReloadFailedShownMs = 10000;

// The one message the operator ever gets: a warning with a single OK,
// titled with the program's name. The caller shows it (exec or open).
std::unique_ptr<QMessageBox> MakeAllSocketsBusyBox(QWidget* parent);

// The settings errors of start-up ("Settings error: [Units] ..."), one a
// line, in the same kind of box; the window then starts without those
// sections.
std::unique_ptr<QMessageBox> MakeSettingsErrorBox(QWidget* parent,
                                                  const std::vector<std::string>& lines);

}  // namespace tarvik
