// TarvikSlave: reads its command line and settings, then runs the slave in
// the operator window or, with --headless, without one.
// Exit status: 0 at a normal end, 1 when no port opened ("All sockets are
// busy!"), 2 for a command line, settings file or registers file that
// cannot be used, or no display for the window.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/command_line.h"
#include "config/settings_file.h"
#include "headless/headless_program.h"
#include "slave/program_signals.h"
#include "slave/start_plan.h"
#include "ui/window_program.h"

namespace {

// The program's own file, whatever link it was started through: its folder
// holds TarvikSlave.ini.
std::string ExecutablePath(const char* argv0) {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0) : path.string();
}

}  // namespace

int main(int argc, char* argv[]) {
    // From the very start: a signal during start-up ends the program cleanly
    // once it can act, instead of killing it half-way, and a closed pipe or
    // a reload request never kills it at all.
    tarvik::InstallSignalHandlers();

    const std::string name = "TarvikSlave";
    const tarvik::CommandLine line = tarvik::ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s\n\n%s", line.error.c_str(), tarvik::UsageText(name).c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(tarvik::UsageText(name).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s %s\n", name.c_str(), TARVIK_VERSION);
        return 0;
    }

    tarvik::StartRequest request;
    request.appFolder = tarvik::AppFolderOf(ExecutablePath(argv[0]));
    request.configPath = line.config;
    request.traceFile = line.traceFile;
    request.registersFile = line.registers;
    request.seed = line.seed;
    const tarvik::StartPlan plan = tarvik::PlanStart(request);
    for (const std::string& warning : plan.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
    if (!plan.fatal.empty()) {
        std::fprintf(stderr, "%s\n", plan.fatal.c_str());
        return 2;
    }
    if (tarvik::TerminationRequested()) return 0;

    if (!line.headless) return tarvik::RunWindow(plan, line.applicationArgs);
    tarvik::HeadlessSettings output;
    output.quiet = line.quiet;
    output.values = line.values;
    return tarvik::RunHeadless(plan, output, line.applicationArgs);
}
