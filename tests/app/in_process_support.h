// The real program on this test's own event loop: a folder with the settings
// file a test writes, the program started from it, and masters on Qt sockets
// that share the loop, so no wait blocks the program under test.
#pragma once

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "testkit/qt/event_waits.h"
#include "testkit/qt/qt_master.h"
#include "testkit/raw_master.h"
#include "tests/support/program_process.h"
#include "ui/window_face.h"

namespace tarvik::testing {

using test::kWaitMs;
using test::RunEventsFor;
using test::WaitUntil;

// The program started from a temporary folder that holds `iniText` as
// TarvikSlave.ini; the folder goes with it.
class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const std::string& iniText);

    SlaveCore& Core() { return program_->Core(); }
    MainWindow& Window() { return program_->Window(); }
    WindowFace& Face() { return *program_; }
    // The settings file, to be rewritten before a reload.
    std::string SettingsPath() const {
        return folder_.filePath(QStringLiteral("TarvikSlave.ini")).toStdString();
    }
    StartOutcome Outcome() const { return outcome_; }

    // Shows the window and waits until it is on the (offscreen) screen.
    bool Show();

    std::string Title() const;
    // Status-bar panel text, found by the panel's hint ("Received packets").
    std::string Panel(const char* hint) const;
    std::string ConnectionPanel() const { return Panel("Connection state"); }

    // The trace lines without their time of day, in order.
    std::vector<std::string> Trace() const;

private:
    QTemporaryDir folder_;
    std::unique_ptr<WindowFace> program_;
    StartOutcome outcome_ = StartOutcome::Running;
};

}  // namespace tarvik::testing
