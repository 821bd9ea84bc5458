#include "slave/termination_signals.h"

#include <QSocketNotifier>

#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <csignal>

namespace tarvik {
namespace {

// A signal handler may only write to a descriptor and set a flag; the loop
// reads the other end.
int signalPipe[2] = {-1, -1};
std::atomic<bool> requested{false};

void OnSignal(int) {
    requested.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void InstallTerminationHandler() {
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // A starter that blocked them (a service manager, a script) hands them
    // over here: from now on they end the program cleanly.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool TerminationRequested() { return requested.load(); }

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    InstallTerminationHandler();
    if (signalPipe[0] < 0) return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {}
        emit Requested();
    });
}

TerminationSignals::~TerminationSignals() {
    delete notifier_;
    notifier_ = nullptr;
}

}  // namespace tarvik
