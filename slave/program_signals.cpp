#include "slave/program_signals.h"

#include <QSocketNotifier>

#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace tarvik {
namespace {

constexpr char kEnd = 'T';
constexpr char kReload = 'H';

// A signal handler may only write to a descriptor and set a flag; the loop
// reads the other end.
int signalPipe[2] = {-1, -1};
std::atomic<bool> requested{false};

void OnSignal(int number) {
    const bool end = number != SIGHUP;
    if (end) requested.store(true);
    const char byte = end ? kEnd : kReload;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void InstallSignalHandlers() {
    if (signalPipe[0] >= 0) return;
    for (const int ignored : {SIGPIPE, SIGXFSZ, SIGUSR1, SIGUSR2, SIGALRM})
        ::signal(ignored, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t set;
    sigemptyset(&set);
    for (const int handled : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(handled, &action, nullptr);
        sigaddset(&set, handled);
    }
    // A starter that blocked them (a service manager, a script) hands them
    // over here: from now on they are ours.
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool TerminationRequested() { return requested.load(); }

ProgramSignals::ProgramSignals(QObject* parent) : QObject(parent) {
    InstallSignalHandlers();
    if (signalPipe[0] < 0) return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        bool end = false;
        bool reload = false;
        char bytes[16];
        for (ssize_t n; (n = ::read(signalPipe[0], bytes, sizeof bytes)) > 0;) {
            for (ssize_t i = 0; i < n; ++i) (bytes[i] == kReload ? reload : end) = true;
        }
        // A reload first: the end then still closes the reopened file cleanly.
        if (reload) emit ReloadRequested();
        if (end) emit EndRequested();
    });
}

ProgramSignals::~ProgramSignals() {
    delete notifier_;
    notifier_ = nullptr;
}

}  // namespace tarvik
