#include "tests/app/in_process_support.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "slave/start_plan.h"
#include "tests/support/qt_application.h"
#include "ui/status_bar_widget.h"
#include "ui/window_controls.h"

namespace tarvik::testing {
namespace {

// The window's own font, as main sets it.
[[maybe_unused]] ::testing::Environment* const kApplication =
    test::UseApplication<QApplication>([] { QApplication::setFont(WindowFont()); });

}  // namespace

ProgramUnderTest::ProgramUnderTest(const std::string& iniText) {
    QFile ini(folder_.filePath(QStringLiteral("TarvikSlave.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write(iniText.data(), static_cast<qint64>(iniText.size())) !=
            static_cast<qint64>(iniText.size())) {
        ADD_FAILURE() << "cannot write the settings file in " << folder_.path().toStdString();
    }
    ini.close();
    StartRequest request;
    request.appFolder = folder_.path().toStdString() + "/";
    const StartPlan plan = PlanStart(request);
    program_ = std::make_unique<WindowFace>(plan.settings, plan.options);
    program_->UseFaults(plan.faults, plan.settingsPath);
    program_->Core().UseValues(plan.values);
    outcome_ = program_->Start();
}

bool ProgramUnderTest::Show() {
    Window().show();
    return QTest::qWaitForWindowExposed(&Window(), kWaitMs);
}

std::string ProgramUnderTest::Title() const {
    return program_->Window().windowTitle().toStdString();
}

std::string ProgramUnderTest::Panel(const char* hint) const {
    const StatusBarWidget* bar = program_->Window().StatusBar();
    for (int panel = 1; panel <= kPanelCount; ++panel) {
        if (bar->Panel(panel)->toolTip() == QLatin1String(hint)) {
            return bar->Panel(panel)->text().toStdString();
        }
    }
    ADD_FAILURE() << "no status-bar panel with the hint " << hint;
    return {};
}

std::vector<std::string> ProgramUnderTest::Trace() const {
    const TraceModel& trace = program_->Core().Trace();
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < trace.LineCount(); ++row) {
        const std::string& line = trace.Line(row);
        const std::size_t blank = line.find(' ');
        lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
}

}  // namespace tarvik::testing
