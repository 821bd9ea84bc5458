// tarvik_window_host: the emulator's real window serving one port, with the
// event loop measured. The program takes no options, so the host writes its
// settings file into a folder of its own and sets the trace check boxes the
// way the operator would. First line on stdout: "port N"; last: the figures
// as one line of JSON, on SIGTERM or SIGINT or when --seconds is over.
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/window-host/host_options.h"
#include "bench/window-host/window_probes.h"
#include "slave/product_texts.h"
#include "slave/program_signals.h"
#include "slave/start_plan.h"
#include "ui/window_controls.h"
#include "ui/window_face.h"

namespace {

// As the operator clears a box: a click, with everything a click raises.
void ClearByClick(QCheckBox& box) {
    if (box.isChecked()) box.click();
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace tarvik;
    using namespace tarvik::bench;

    const ParsedHostOptions parsed =
        ParseHostOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (parsed.help) {
        std::fputs(HostUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "tarvik_window_host: %s\n%s", parsed.error.c_str(),
                     HostUsage().c_str());
        return 2;
    }
    const HostOptions options = *parsed.options;

    TimedApplication app(argc, argv);
    QApplication::setApplicationName(kProgramName);
    QApplication::setFont(WindowFont());
    ProgramSignals termination;

    QTemporaryDir folder;
    QFile ini(folder.filePath(QStringLiteral("TarvikSlave.ini")));
    const std::string settings = BenchSettingsText(options);
    if (!folder.isValid() || !ini.open(QIODevice::WriteOnly) ||
        ini.write(settings.data(), static_cast<qint64>(settings.size())) !=
            static_cast<qint64>(settings.size())) {
        std::fprintf(stderr, "tarvik_window_host: cannot write the settings file\n");
        return 1;
    }
    ini.close();

    StartRequest request;
    request.appFolder = folder.path().toStdString() + "/";
    const StartPlan plan = PlanStart(request);
    WindowFace program(plan.settings, plan.options);
    if (program.Start() != StartOutcome::Running) {
        std::fprintf(stderr, "tarvik_window_host: port %d could not be opened\n", options.port);
        return 1;
    }
    if (!options.trace) {
        ClearByClick(*program.Window().ShowRawBox());
        ClearByClick(*program.Window().ShowReadsBox());
    }
    const int port = options.udp ? program.Core().Sockets().udp.LocalPort()
                                 : program.Core().Sockets().listener.LocalPort();
    std::printf("port %d\n", port);
    std::fflush(stdout);

    WindowProbes probes(app, program);
    const auto finish = [&] {
        const std::string report = probes.Report(options.udp ? "udp" : "tcp", options.trace);
        std::printf("%s\n", report.c_str());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    QObject::connect(&termination, &ProgramSignals::EndRequested, &app, finish);
    QTimer::singleShot(static_cast<int>(options.seconds * 1000.0), &app, finish);
    // What the first show costs (fonts, the first paints) is not the load's.
    QTimer::singleShot(options.settleMs, &app, [&] { probes.Start(); });

    program.Window().show();
    return QApplication::exec();
}
