// Runs the built emulator as its own process, from a temporary folder that
// holds a copy of the executable and the settings file a test writes, so the
// program reads that file and no other.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace tarvik::testing {

class ProgramProcess {
public:
    // Copies `executable` into a fresh temporary folder beside `iniText`
    // (written as TarvikSlave.ini) and starts it offscreen.
    ProgramProcess(const std::string& executable, const std::string& iniText);
    ~ProgramProcess();  // ends the process if it still runs, removes the folder

    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Waits until a TCP connection to 127.0.0.1:port succeeds.
    bool WaitUntilListening(int port, std::chrono::milliseconds limit) const;

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
    bool reaped_ = false;
};

// A TCP port that was free a moment ago (bound to 0 and closed again).
int PickFreeTcpPort();
int PickFreeUdpPort();

}  // namespace tarvik::testing
