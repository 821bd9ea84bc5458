#include "tests/support/program_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "testkit/loopback.h"
#include "testkit/raw_master.h"

namespace fs = std::filesystem;

namespace tarvik::testing {
namespace {

int PickFreePort(int type) {
    const int fd = BindLoopback(type, 0);
    if (fd < 0) throw std::runtime_error("cannot bind a free port");
    const int port = BoundPort(fd);
    ::close(fd);
    return port;
}

std::optional<int> StatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return std::nullopt;
}

}  // namespace

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string ServerIni(const std::string& localPorts, const std::string& general) {
    return "[General]\r\nSocketServer=1\r\n" + general + "[LocalPorts]\r\n" + localPorts;
}

void ServeBatch(TcpMaster& master, int requests, int function) {
    Packet batch;
    for (int t = 0; t < requests; ++t) batch += ReadRequest(t & 0xFFFF, function, t % 100, 10);
    ASSERT_TRUE(master.Send(batch));
    for (int t = 0; t < requests; ++t) {
        const auto answer = master.ReceiveFrame(std::chrono::seconds(20));
        ASSERT_TRUE(answer.has_value()) << "answer " << t;
        ASSERT_EQ(GetWord(*answer, 0), t & 0xFFFF) << "answer " << t;
    }
}

int PickFreeTcpPort() { return PickFreePort(SOCK_STREAM); }
int PickFreeUdpPort() { return PickFreePort(SOCK_DGRAM); }

ProgramProcess::ProgramProcess(const std::string& executable, const std::string& iniText,
                               const Launch& launch) {
    std::string pattern = (fs::temp_directory_path() / "tarvik-program-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    const fs::path exe = fs::path(folder_) / "TarvikSlave";
    fs::copy_file(executable, exe);
    std::ofstream(fs::path(folder_) / "TarvikSlave.ini", std::ios::binary) << iniText;
    if (launch.prepare) launch.prepare(folder_);

    std::vector<std::string> args{exe.string()};
    args.insert(args.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string out = folder_ + "/stdout.txt";
    const std::string err = folder_ + "/stderr.txt";
    int pipeEnds[2] = {-1, -1};
    const bool outPipe = launch.stdoutUnread || launch.stdoutClosed;
    if (outPipe && ::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    if (launch.stdoutClosed) ::close(pipeEnds[0]);

    // Blocked before the fork, so the child has them blocked from its first
    // instruction; the test's own mask is put back at once.
    sigset_t blocked;
    sigset_t before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    if (launch.blockTermination) ::pthread_sigmask(SIG_BLOCK, &blocked, &before);
    pid_ = ::fork();
    if (pid_ != 0 && launch.blockTermination) ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (pid_ == 0) {
        if (launch.display == Launch::Display::Offscreen) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        } else {
            ::unsetenv("QT_QPA_PLATFORM");
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
        }
        const int outFd =
            outPipe ? pipeEnds[1] : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (outPipe) ::close(pipeEnds[1]);
    if (launch.stdoutUnread) unreadPipe_ = pipeEnds[0];  // held open, never read
}

std::string ProgramProcess::Stdout() const { return FileText(folder_ + "/stdout.txt"); }
std::string ProgramProcess::Stderr() const { return FileText(folder_ + "/stderr.txt"); }

bool ProgramProcess::WaitForStdout(const std::string& text, std::chrono::milliseconds limit) const {
    return WaitFor([&] { return Stdout().find(text) != std::string::npos; }, limit);
}

ProgramProcess::~ProgramProcess() {
    if (Running()) {
        if (!Terminate(std::chrono::seconds(10))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    if (unreadPipe_ >= 0) ::close(unreadPipe_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool ProgramProcess::WaitUntilListening(int port, std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (TcpMaster probe; !probe.Connect(port);
         std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
        if (std::chrono::steady_clock::now() >= until) return false;
    }
    return true;
}

bool ProgramProcess::Running() { return !reaped_ && !WaitForExit(std::chrono::milliseconds(0)); }

std::optional<int> ProgramProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (int status = 0; !reaped_; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return StatusOf(status);
        }
        if (std::chrono::steady_clock::now() >= until) break;
    }
    return std::nullopt;
}

void ProgramProcess::Signal(int number) {
    if (!reaped_) ::kill(pid_, number);
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
