// One tick of the send timer with a million delayed answers waiting and none
// due: the grouped queue against the whole-queue sweep it replaced, which
// counted every waiting answer down at every tick.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <deque>
#include <string>

#include "dispatch/answer_dispatcher.h"
#include "engine/function_codes.h"

namespace {

using namespace tarvik;

constexpr int kWaiting = 1'000'000;
// 20 million ticks away: no benchmark run here reaches it.
constexpr int32_t kFarDelay = 2'000'000'000;

struct Quiet : TraceWriter, AnswerOutlets {
    void TraceRaw(std::string_view, std::string_view) override {}
    void TraceRequest(const MbapHeader&, std::string_view) override {}
    void TraceAnswer(const MbapHeader&, std::string_view) override {}
    bool Send(const AnswerRoute&, std::string_view) override { return true; }
    void Close(const AnswerRoute&) override {}
};

// The sweep as it was: every entry lowered by the interval, due ones sent
// where they stand, the rest closed up behind each other.
struct SweptAnswer {
    Packet QueuedPacket;
    int32_t Delay = 0;
    bool ViewDebugData = false;
};

void SweepTickBefore(benchmark::State& state) {
    std::deque<SweptAnswer> queue;
    for (int i = 0; i < kWaiting; ++i) {
        queue.push_back(
            SweptAnswer{Packet("\x00\x01\x00\x00\x00\x03\x01\x83\x02", 9), 2'000'000'000, false});
    }
    std::size_t sent = 0;
    for (auto _ : state) {
        std::size_t kept = 0;
        for (std::size_t pos = 0; pos < queue.size(); ++pos) {
            SweptAnswer& entry = queue[pos];
            entry.Delay -= kSendTimerInterval;
            if (entry.Delay > 0) {
                if (kept != pos) queue[kept] = std::move(entry);
                ++kept;
                continue;
            }
            ++sent;
        }
        queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(kept), queue.end());
    }
    benchmark::DoNotOptimize(sent);
    state.counters["waiting"] = static_cast<double>(queue.size());
}

void GroupedTickAfter(benchmark::State& state) {
    Quiet ports;
    // The bound would stop the flood near 600 thousand short answers; lifted
    // here to measure a million.
    AnswerDispatcher dispatcher(ports, ports, std::size_t{1} << 30);
    // Queued across a thousand ticks, as a steady flood arrives: a thousand groups.
    const int refused = ExceptionByteOf(FunctionCode::ReadHoldingRegisters);
    StepList steps;
    for (int i = 0; i < kWaiting; ++i) {
        if (i % 1000 == 0) dispatcher.SendTick();
        steps.Clear();
        steps.BeginAnswer(MbapHeader{i & 0xFFFF, 0, 2, 1}, refused)
            .push_back(static_cast<char>(ExceptionCode::IllegalDataAddress));
        steps.EndAnswer(AnswerRoute::Stream(1), Departure::Delayed, kFarDelay, false);
        dispatcher.CarryOut(steps);
    }
    for (auto _ : state) {
        dispatcher.SendTick();
    }
    state.counters["waiting"] = static_cast<double>(dispatcher.AnswerQueue().size());
}

BENCHMARK(SweepTickBefore)->Unit(benchmark::kMicrosecond)->Iterations(50);
BENCHMARK(GroupedTickAfter)->Unit(benchmark::kMicrosecond)->Iterations(100'000);

}  // namespace

BENCHMARK_MAIN();
