// Frames per second through the engine, with the real answer assembly and
// the real trace writers (into a model nobody shows), one frame per arrival
// against a thousand, traced against untraced.
#include <benchmark/benchmark.h>

#include "dispatch/answer_dispatcher.h"
#include "engine/slave_engine.h"
#include "trace/trace_model.h"

namespace {

using namespace tarvik;

struct Options : OperatorOptions {
    bool traced = true;
    bool ShowRawData() const override { return traced; }
    bool ShowReads() const override { return traced; }
    bool DontAnswer() const override { return false; }
    bool DelayAnswer() const override { return false; }
    std::string DelayText() const override { return "200"; }
};

struct DiscardingSockets : AnswerSockets {
    std::size_t bytes = 0;
    bool UdpMode() const override { return false; }
    AnswerRoute CurrentRoute() const override { return AnswerRoute{1, {}, 0}; }
    bool SendUdp(const Packet&, const std::string&, int32_t) override { return true; }
    SocketState DataState() const override { return SocketState::Connected; }
    uint64_t DataConnection() const override { return 1; }
    bool SendData(const Packet& frame) override {
        bytes += frame.size();
        return true;
    }
};

struct NoStatus : StatusRefresh {
    void RefreshStatusBar() override {}
};

struct FixedRandom : RandomSource {
    double NextUniform() override { return 0.5; }
};

Packet Request(int function, int quantity, int transaction) {
    Packet frame;
    const int pduSize = function == 16 ? 6 + 2 * quantity : 5;
    AppendWord(frame, transaction);
    AppendWord(frame, 0);
    AppendWord(frame, pduSize + 1);
    frame.push_back(1);
    frame.push_back(static_cast<char>(function));
    AppendWord(frame, 0);
    AppendWord(frame, quantity);
    if (function == 16) {
        frame.push_back(static_cast<char>(2 * quantity));
        for (int i = 0; i < quantity; ++i) AppendWord(frame, i);
    }
    return frame;
}

// args: function, quantity, frames per arrival, traced (0/1)
void ProcessPacketThroughput(benchmark::State& state) {
    const int function = static_cast<int>(state.range(0));
    const int quantity = static_cast<int>(state.range(1));
    const int framesPerArrival = static_cast<int>(state.range(2));
    Options options;
    options.traced = state.range(3) != 0;
    TraceModel trace([] { return std::string("12:00:00"); });
    DiscardingSockets sockets;
    NoStatus status;
    FixedRandom random;
    AnswerDispatcher dispatcher(options, trace, sockets, status);
    SlaveEngine engine(EnginePorts{options, trace, dispatcher, status, random}, false);

    Packet arrival;
    for (int i = 0; i < framesPerArrival; ++i) arrival += Request(function, quantity, i);

    for (auto _ : state) {
        engine.ProcessPacket(arrival);
        while (engine.ReleasePending()) engine.ContinueRelease();
    }
    benchmark::DoNotOptimize(sockets.bytes);
    state.SetItemsProcessed(state.iterations() * framesPerArrival);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * framesPerArrival),
                           benchmark::Counter::kIsRate);
}

void Cases(benchmark::internal::Benchmark* b) {
    for (auto [function, quantity] : {std::pair{3, 10}, {3, 125}, {16, 100}}) {
        for (int frames : {1, 1000}) {
            for (int traced : {1, 0}) b->Args({function, quantity, frames, traced});
        }
    }
    b->ArgNames({"fn", "qty", "frames", "traced"});
}

BENCHMARK(ProcessPacketThroughput)->Apply(Cases);

}  // namespace

BENCHMARK_MAIN();
