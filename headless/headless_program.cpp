#include "headless/headless_program.h"

#include <QCoreApplication>

#include <cstdio>

#include "headless/headless_face.h"
#include "slave/product_texts.h"
#include "slave/program_signals.h"
#include "slave/register_values.h"

namespace tarvik {
namespace {

void ErrorLine(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace

int RunHeadless(const StartPlan& plan, const HeadlessSettings& output,
                const std::vector<std::string>& args) {
    // Only the program name: Qt's window options mean nothing here.
    std::string name = args.empty() ? std::string(kProgramName) : args.front();
    int argc = 1;
    char* argv[] = {name.data(), nullptr};
    // Qt's own event dispatcher rather than glib's: it runs fewer
    // instructions for every readable socket, and nothing without a window
    // needs glib's loop. A QT_NO_GLIB of the user's own is left as it is.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(kProgramName);
    ProgramSignals programSignals;

    // A service given a bad section would serve the wrong devices.
    if (!plan.settingsErrors.empty()) {
        for (const std::string& line : plan.settingsErrors) ErrorLine(line);
        return 2;
    }

    HeadlessFace face(plan.settings, plan.options,
                      HeadlessSettings{output.quiet, 1, output.values});
    if (plan.seed) face.Core().Seed(*plan.seed);
    face.Core().UseFaults(plan.faults, plan.settingsPath);
    face.Core().UseValues(plan.values);
    if (!plan.registersFile.empty()) {
        const std::string error = LoadRegisterFileInto(plan.registersFile, face.Core().Units());
        if (!error.empty()) {
            ErrorLine("Cannot load registers: " + error);
            return 2;
        }
    }
    face.Core().StartTraceFile(plan.traceFile, plan.traceFileMaxBytes);

    const StartOutcome outcome = face.Start();
    for (const std::string& line : face.Core().StartWarnings()) ErrorLine(line);
    if (outcome == StartOutcome::AllSocketsBusy) {
        ErrorLine(kAllSocketsBusy);
        return 1;
    }
    QObject::connect(&programSignals, &ProgramSignals::EndRequested, &application,
                     [] { QCoreApplication::exit(0); });
    QObject::connect(&face.Core(), &SlaveCore::SocketFailed, &application,
                     [](const SocketError& error) { ErrorLine("Socket error: " + error.text); });
    QObject::connect(&programSignals, &ProgramSignals::ReloadRequested, &application,
                     [&face] { face.Reload(); });
    if (TerminationRequested()) return 0;
    return QCoreApplication::exec();
}

}  // namespace tarvik
