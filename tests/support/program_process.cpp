#include "program_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace tarvik::testing {
namespace {

int PickFreePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("cannot bind a free port");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::optional<int> StatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return std::nullopt;
}

}  // namespace

int PickFreeTcpPort() { return PickFreePort(SOCK_STREAM); }
int PickFreeUdpPort() { return PickFreePort(SOCK_DGRAM); }

ProgramProcess::ProgramProcess(const std::string& executable, const std::string& iniText) {
    std::string pattern = (fs::temp_directory_path() / "tarvik-program-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    const fs::path exe = fs::path(folder_) / "TarvikSlave";
    fs::copy_file(executable, exe);
    std::ofstream(fs::path(folder_) / "TarvikSlave.ini", std::ios::binary) << iniText;

    pid_ = ::fork();
    if (pid_ == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("fork failed");
}

ProgramProcess::~ProgramProcess() {
    if (Running()) {
        if (!Terminate(std::chrono::seconds(10))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool ProgramProcess::WaitUntilListening(int port, std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool ProgramProcess::Running() {
    if (reaped_) return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) reaped_ = true;
    return !reaped_;
}

std::optional<int> ProgramProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            return StatusOf(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

std::optional<int> ProgramProcess::Terminate(std::chrono::milliseconds limit) {
    if (reaped_) return std::nullopt;
    ::kill(pid_, SIGTERM);
    return WaitForExit(limit);
}

int ProgramProcess::OpenDescriptors() const {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        ++count;
    }
    return count;
}

}  // namespace tarvik::testing
