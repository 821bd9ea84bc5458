#include "ui/window_program.h"

#include <QApplication>
#include <QMessageBox>

#include <unistd.h>
#include <cstdio>
#include <cstring>

#include "config/register_file.h"
#include "slave/product_texts.h"
#include "slave/program_signals.h"
#include "slave/register_values.h"
#include "ui/start_up_boxes.h"
#include "ui/window_controls.h"
#include "ui/window_face.h"

namespace tarvik {
namespace {

QtMessageHandler qtHandler = nullptr;
bool openingDisplay = false;

// Qt ends the program (abort, a core file) when no platform can be opened.
// While the application object is made, its fatal message is taken as that,
// and the program ends with a line that says what to do instead.
void CatchNoDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (qtHandler != nullptr) qtHandler(type, context, message);
    if (type != QtFatalMsg || !openingDisplay) return;
    static const char kLine[] =
        "TarvikSlave: no display could be opened; use --headless to run without a window.\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, kLine, std::strlen(kLine));
    ::_exit(2);
}

void ErrorLine(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace

int RunWindow(const StartPlan& plan, const std::vector<std::string>& args) {
    std::vector<std::string> storage = args;
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(storage.size());

    qtHandler = qInstallMessageHandler(CatchNoDisplay);
    openingDisplay = true;
    QApplication application(argc, argv.data());
    openingDisplay = false;
    QApplication::setApplicationName(kProgramName);
    QApplication::setFont(WindowFont());
    ProgramSignals programSignals;

    WindowFace face(plan.settings, plan.options);
    if (plan.seed) face.Core().Seed(*plan.seed);
    face.UseFaults(plan.faults, plan.settingsPath);
    face.Core().UseValues(plan.values);
    {
        const StartUpBoxes boxes(programSignals);
        // The sections in error were left out: the window goes on without them.
        if (!plan.settingsErrors.empty()) {
            for (const std::string& line : plan.settingsErrors) ErrorLine(line);
            MakeSettingsErrorBox(nullptr, plan.settingsErrors)->exec();
            if (TerminationRequested()) return 0;
        }
        face.Core().StartTraceFile(plan.traceFile, plan.traceFileMaxBytes);
        if (!plan.registersFile.empty()) face.LoadRegistersFrom(plan.registersFile);
        // Ended while a box was up: after OK the window would have gone on.
        if (TerminationRequested()) return 0;

        const StartOutcome outcome = face.Start();
        for (const std::string& line : face.Core().StartWarnings()) ErrorLine(line);
        if (outcome == StartOutcome::AllSocketsBusy) {
            MakeAllSocketsBusyBox(nullptr)->exec();
            return 1;
        }
    }
    if (TerminationRequested()) return 0;
    QObject::connect(&programSignals, &ProgramSignals::EndRequested, &face.Window(),
                     &QWidget::close);
    QObject::connect(&programSignals, &ProgramSignals::ReloadRequested, &face.Window(),
                     [&face] { face.Reload(); });
    face.Window().show();
    return QApplication::exec();
}

}  // namespace tarvik
