// Runs the built emulator as its own process, from a temporary folder that
// holds a copy of the executable and the settings file a test writes, so the
// program reads that file and no other.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::testing {

class TcpMaster;

// How the program is started.
struct Launch {
    std::vector<std::string> args;  // after the program's name
    // Offscreen: a window on Qt's offscreen platform. NoDisplay: DISPLAY,
    // WAYLAND_DISPLAY and QT_QPA_PLATFORM all cleared, as on a server.
    enum class Display { Offscreen, NoDisplay } display = Display::NoDisplay;
    // Standard output a pipe that nobody reads, instead of a file.
    bool stdoutUnread = false;
    // Standard output a pipe whose reader is gone before the program starts.
    bool stdoutClosed = false;
    // SIGTERM and SIGINT blocked when the program starts.
    bool blockTermination = false;
    // Runs on the program's folder before the start (settings file written).
    std::function<void(const std::string& folder)> prepare;
};

// The headless program, trace lines on standard output.
inline Launch Headless(std::vector<std::string> more = {}) {
    more.insert(more.begin(), "--headless");
    Launch launch;
    launch.args = std::move(more);
    return launch;
}

class ProgramProcess {
public:
    // Copies `executable` into a fresh temporary folder beside `iniText`
    // (written as TarvikSlave.ini) and starts it; standard output and error
    // go to files in the folder.
    ProgramProcess(const std::string& executable, const std::string& iniText,
                   const Launch& launch = Headless());

    const std::string& Folder() const { return folder_; }
    std::string Stdout() const;
    std::string Stderr() const;
    // Waits until standard output holds `text`.
    bool WaitForStdout(const std::string& text, std::chrono::milliseconds limit) const;
    ~ProgramProcess();  // ends the process if it still runs, removes the folder

    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Waits until a TCP connection to 127.0.0.1:port succeeds.
    bool WaitUntilListening(int port, std::chrono::milliseconds limit) const;

    void Signal(int number);
    // SIGTERM, then the exit status (or nullopt when it had to be killed).
    std::optional<int> Terminate(std::chrono::milliseconds limit);
    // Waits for the process to end by itself; the exit status, or nullopt.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);
    bool Running();

    // Open descriptors, read from /proc.
    int OpenDescriptors() const;

private:
    std::string folder_;
    pid_t pid_ = -1;
    int unreadPipe_ = -1;
    bool reaped_ = false;
};

// Settings in server mode: `general` lines under [General] after
// SocketServer=1 (further sections may follow), then the LocalPorts lines;
// CR LF line ends as the platform's editors write them.
std::string ServerIni(const std::string& localPorts, const std::string& general = "");
// ... with the one entry "<port>=Main".
inline std::string ServerIni(int port, const std::string& general = "") {
    return ServerIni(std::to_string(port) + "=Main\r\n", general);
}

// Text helpers of the tests that read what the program wrote.
std::string FileText(const std::string& path);  // "" when it cannot be read
std::vector<std::string> Lines(const std::string& text);
std::size_t Count(const std::string& text, const std::string& part);
// Polls `done` every 20 ms until it holds or `limit` passes; whether it held.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// Requests sent in one go (reads of 10 registers by `function`), then every
// answer awaited in order, told by its transaction identifier.
void ServeBatch(TcpMaster& master, int requests, int function = 3);

// A TCP port that was free a moment ago (bound to 0 and closed again).
int PickFreeTcpPort();
int PickFreeUdpPort();

}  // namespace tarvik::testing
