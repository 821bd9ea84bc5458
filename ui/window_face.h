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
#include "ui/main_window.h"

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

    // Loads a registers file before any port opens; a failure is a message
    // box and leaves the registers at 0.
    void LoadRegistersFrom(const std::string& path);

    MainWindow& Window() { return window_; }
    SlaveCore& Core() { return core_; }

private:
    MainWindow window_;
    SlaveCore core_;
};

// The one message the operator ever gets: a warning with a single OK,
// titled with the program's name. The caller shows it (exec or open).
std::unique_ptr<QMessageBox> MakeAllSocketsBusyBox(QWidget* parent);

// The settings errors of start-up ("Settings error: [Units] ..."), one a
// line, in the same kind of box; the window then starts without those
// sections.
std::unique_ptr<QMessageBox> MakeSettingsErrorBox(QWidget* parent,
                                                  const std::vector<std::string>& lines);

}  // namespace tarvik
