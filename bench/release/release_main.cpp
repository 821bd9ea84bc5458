// tarvik_release_bench: the release of a large hold. The core serves a
// master on 127.0.0.1 with "Don't answer" checked; the master sends MiB of
// function-3 requests for 127 registers, which are all held; then the option
// is cleared and one more request lets the hold be answered. The master
// reads every answer back and checks each, in order. Figures: resident
// memory over the figure before the release, the longest stall of the event
// loop (a 1 ms timer's lateness), and how long the release took.
//
//   tarvik_release_bench [--mib N (1..64, default 64)] [--trace] [--seconds S (default 600)]
//
// --trace keeps "Show raw data" and "Show reads" checked, as the window
// starts; by default they are cleared, so the release itself is measured.
// Exit status: 0 when every answer came back right and both targets were
// met; 3 when an answer was wrong or missing; 4 when a target was missed;
// 1 when the bench could not run.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/release/memory_sampler.h"
#include "bench/release/release_master.h"
#include "bench/window-host/loop_figures.h"
#include "slave/fixed_options.h"
#include "slave/slave_core.h"
#include "slave/status_panels.h"

namespace {

using namespace tarvik;
using namespace tarvik::bench;

constexpr double kStallTargetMs = 50.0;
constexpr uint64_t kGrowthTargetKiB = 64 * 1024;

struct Options {
    int mib = 64;
    bool trace = false;
    int seconds = 600;
};

bool ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--trace") {
            options.trace = true;
        } else if ((word == "--mib" || word == "--seconds") && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            const long high = word == "--mib" ? 64 : 3600;
            if (*end != '\0' || value < 1 || value > high) return false;
            (word == "--mib" ? options.mib : options.seconds) = static_cast<int>(value);
        } else {
            return false;
        }
    }
    return true;
}

// The panels nobody looks at.
struct UnseenPanels final : StatusPanels {
    void SetPanelText(int, std::string_view) override {}
};

// Runs the loop until `done` holds or `ms` pass; true if it held.
bool RunUntil(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    QTimer wake;  // the deadline is seen even when no event comes
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// CPU time of the calling thread: a late tick with little of it was a
// wait for a core, not work of the loop.
double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double MiB(uint64_t kib) { return static_cast<double>(kib) / 1024.0; }

int Fail(const std::string& why) {
    std::fprintf(stderr, "tarvik_release_bench: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: tarvik_release_bench [--mib 1..64] [--trace] [--seconds 1..3600]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);

    StartupSettings settings;
    settings.SocketServer = true;
    settings.LocalPorts = {ParsePortEntry("0=Release")};  // a free port, as the tests ask
    settings.BindAddress = "127.0.0.1";
    FixedOptions operatorOptions;
    operatorOptions.showRawData = operatorOptions.showReads = options.trace;
    operatorOptions.dontAnswer = true;
    UnseenPanels panels;
    SlaveCore core(settings, operatorOptions.Snapshot(), panels);
    if (core.Start().outcome != StartOutcome::Running) return Fail("no port opened");
    // Known values, so every answer's data is checked too.
    std::vector<uint16_t> registers;
    for (int i = 0; i < kReleaseQuantity; ++i) {
        registers.push_back(static_cast<uint16_t>(0x1234 + 0x0101 * i));
        core.Registers().HoldingRegisters[static_cast<std::size_t>(i)] = registers.back();
    }

    ReleaseMaster master;
    std::string error;
    if (!master.Connect(core.Sockets().listener.LocalPort(), error)) return Fail(error);
    TcpConnection& data = core.Sockets().data;
    if (!RunUntil([&] { return data.State() == SocketState::Connected; }, 5000))
        return Fail("the connection was not accepted");

    // The hold: as many whole requests as the buffer's bound takes.
    const uint64_t held =
        uint64_t{static_cast<unsigned>(options.mib)} * 1024 * 1024 / kRequestBytes;
    const uint64_t residentBeforeHold = ResidentKiB();
    QElapsedTimer holdClock;
    holdClock.start();
    master.StartSending(0, held);
    const bool allHeld = RunUntil(
        [&] {
            return (master.SendingDone() &&
                    core.Engine().ReceiveBuffer().size() == held * kRequestBytes) ||
                   data.State() != SocketState::Connected || master.SendFailed();
        },
        120000);
    if (!allHeld || master.SendFailed() || data.State() != SocketState::Connected)
        return Fail("the hold did not build up: " +
                    std::to_string(core.Engine().ReceiveBuffer().size()) + " bytes held");
    const double holdSeconds = static_cast<double>(holdClock.elapsed()) / 1000.0;
    if (!master.NothingArrived() || core.Dispatcher().PacketsSent() != 0)
        return Fail("answers came while \"Don't answer\" was checked");

    // The release, measured from here.
    const uint64_t residentBefore = ResidentKiB();
    const bool kernelPeak = ResetPeakResident();
    PeakSampler sampler;
    const uint64_t total = held + 1;
    master.StartReading(total, registers, std::chrono::seconds(options.seconds));

    TickGaps gaps(1.0);
    QElapsedTimer tickClock;
    double tickCpu = 0.0;
    double longestGapCpu = 0.0;  // the loop thread's own CPU in the longest gap
    double busiestGapCpu = 0.0;  // the most CPU the loop thread spent in one gap
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(tickClock.nsecsElapsed()) / 1e6;
        const double cpu = ThreadCpuMs() - tickCpu;
        if (gap - 1.0 > gaps.MaxLateMs()) longestGapCpu = cpu;
        busiestGapCpu = std::max(busiestGapCpu, cpu);
        gaps.Add(gap);
        tickClock.restart();
        tickCpu = ThreadCpuMs();
    });

    operatorOptions.dontAnswer = false;
    core.SetOptions(operatorOptions.Snapshot());
    const auto released = std::chrono::steady_clock::now();
    master.StartSending(held, 1);
    tickClock.start();
    tickCpu = ThreadCpuMs();
    probe.start(1);
    RunUntil([&] { return master.ReadingDone(); }, (options.seconds + 5) * 1000);
    probe.stop();
    const uint64_t peak = sampler.StopKiB();
    const uint64_t kernelPeakKiB = kernelPeak ? PeakResidentKiB() : 0;
    const ReadFigures read = master.FinishReading();
    const double releaseSeconds = std::chrono::duration<double>(read.lastByte - released).count();

    const bool complete = read.answered == total && read.wrong == 0 && read.extraBytes == 0;
    // The kernel's mark sees peaks between two samples: the larger counts.
    const uint64_t highest = std::max(peak, kernelPeakKiB);
    const uint64_t growth = highest > residentBefore ? highest - residentBefore : 0;
    const uint64_t sampledGrowth = peak > residentBefore ? peak - residentBefore : 0;
    const bool memoryMet = growth < kGrowthTargetKiB;
    const bool stallMet = gaps.MaxLateMs() < kStallTargetMs;
    const double answerMB = static_cast<double>(read.answered * kAnswerBytes) / 1e6;

    std::printf("release bench: %d MiB held = %llu requests of function 3, quantity %d; trace %s\n",
                options.mib, static_cast<unsigned long long>(held), kReleaseQuantity,
                options.trace ? "on" : "off");
    std::printf("  hold: built in %.1f s; resident %.1f MiB before it, %.1f MiB with it\n",
                holdSeconds, MiB(residentBeforeHold), MiB(residentBefore));
    std::printf(
        "  release: %llu of %llu answers (%.0f MB) in %.2f s, %.0f answers/s; wrong %llu, "
        "extra bytes %llu; program counted %d sent\n",
        static_cast<unsigned long long>(read.answered), static_cast<unsigned long long>(total),
        answerMB, releaseSeconds, releaseSeconds > 0 ? read.answered / releaseSeconds : 0.0,
        static_cast<unsigned long long>(read.wrong),
        static_cast<unsigned long long>(read.extraBytes), core.Dispatcher().PacketsSent());
    if (!read.firstFault.empty()) std::printf("  first wrong: %s\n", read.firstFault.c_str());
    std::printf(
        "  resident growth over the figure before the release: %+.1f MiB (sampled every 2 ms)",
        MiB(sampledGrowth));
    if (kernelPeak) std::printf(", %+.1f MiB (kernel's VmHWM)", MiB(growth));
    std::printf("; target < 64 MiB: %s\n", memoryMet ? "met" : "MISSED");
    std::printf(
        "  event loop: longest stall %.1f ms (%.1f ms of it the loop thread's CPU), p99 %.2f ms, "
        "%llu over 50 ms, %llu ticks of a 1 ms timer; most CPU between two ticks %.1f ms; "
        "target < 50 ms: %s\n",
        gaps.MaxLateMs(), longestGapCpu, gaps.LateP99Ms(),
        static_cast<unsigned long long>(gaps.CountLateOver(50.0)),
        static_cast<unsigned long long>(gaps.Count()), busiestGapCpu, stallMet ? "met" : "MISSED");

    JsonLine json;
    json.Add("bench", "release")
        .Add("mib", options.mib)
        .Add("trace", options.trace ? "on" : "off")
        .Add("answers", read.answered)
        .Add("expected", total)
        .Add("wrong", read.wrong)
        .Add("extra_bytes", read.extraBytes)
        .Add("release_s", releaseSeconds)
        .Add("resident_before_mib", MiB(residentBefore))
        .Add("growth_mib", MiB(growth))
        .Add("stall_ms_max", gaps.MaxLateMs())
        .Add("stall_cpu_ms", longestGapCpu)
        .Add("busiest_gap_cpu_ms", busiestGapCpu)
        .Add("stall_ms_p99", gaps.LateP99Ms())
        .Add("stalls_over_50ms", gaps.CountLateOver(50.0));
    std::printf("%s\n", json.Text().c_str());
    if (!complete) return 3;
    return memoryMet && stallMet ? 0 : 4;
}
