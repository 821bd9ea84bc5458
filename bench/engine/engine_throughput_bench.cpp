// Frames per second through the engine, with the real answer assembly and
// the real trace writers, one frame per arrival against a thousand: untraced
// (traced:0), traced into a model nobody shows (1), and traced with a trace
// file's stream as well, its batch handed to the writer thread at most every
// 10 ms as the program's trace outputs do (2). The time is the event loop's;
// the writer thread makes the file's text on the other core.
// Each case also with 247 units served (units:247), the frames of an arrival
// going to each in turn; units:0 is the one table.
// Apart: the fault rules' decision for one frame, against rules that all
// reach the address test and none fires, as a frame meets them before its
// function's handling; and the whole engine per frame with no rules and 50.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dispatch/answer_dispatcher.h"
#include "engine/fault_rules.h"
#include "engine/slave_engine.h"
#include "testkit/request_frames.h"
#include "trace/line_writer.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

namespace {

using namespace tarvik;

// Takes every answer of the one connection, as a connected socket does.
struct DiscardingSockets : AnswerOutlets {
    std::size_t bytes = 0;
    bool Send(const AnswerRoute& route, std::string_view frame) override {
        if (route.udp || route.connection != 1) return false;
        bytes += frame.size();
        return true;
    }
    void Close(const AnswerRoute&) override {}
};

struct CountingSink : LineSink {
    std::shared_ptr<std::atomic<uint64_t>> bytes = std::make_shared<std::atomic<uint64_t>>(0);
    SinkWrite Write(std::string_view text) override {
        *bytes += text.size();
        return {text.size(), {}};
    }
    const std::string& Name() const override { return name; }
    std::string name = "counting";
};

struct FixedRandom : RandomSource {
    double NextUniform() override { return 0.5; }
};

Packet Request(int function, int quantity, int transaction, int unit) {
    if (function != 16) return testing::ReadRequest(transaction, function, 0, quantity, unit);
    std::vector<int32_t> values(static_cast<std::size_t>(quantity));
    for (int i = 0; i < quantity; ++i) values[static_cast<std::size_t>(i)] = i;
    return testing::WriteValuesRequest(transaction, 0, values, unit);
}

// args: function, quantity, frames per arrival, traced (0/1/2), units served
// (0: units off, the one table; otherwise units 1..n, the frames of an
// arrival going to each in turn)
void ProcessPacketThroughput(benchmark::State& state) {
    const int function = static_cast<int>(state.range(0));
    const int quantity = static_cast<int>(state.range(1));
    const int framesPerArrival = static_cast<int>(state.range(2));
    const int traced = static_cast<int>(state.range(3));
    const int units = static_cast<int>(state.range(4));
    OperatorOptions options;
    options.showRawData = options.showReads = traced != 0;
    TraceModel trace;  // the system clock, as the program runs it
    DiscardingSockets sockets;
    FixedRandom random;
    AnswerDispatcher dispatcher(trace, sockets);
    SlaveEngine engine(random, false);
    engine.SetOptions(options);
    if (units > 0) {
        UnitSet served;
        for (int unit = 1; unit <= units; ++unit) served.set(static_cast<std::size_t>(unit));
        engine.ServeUnits(served, AbsentAnswer::GatewayTargetFailed);
    }
    auto sink = std::make_unique<CountingSink>();
    const auto written = sink->bytes;
    LineWriter file(
        std::move(sink), [](uint64_t) { return std::string("lost"); },
        LineWriter::kDefaultQueueBytes, EntryForm{trace.TimeClock(), true});
    TraceStream stream(file);
    if (traced == 2) trace.AddListener(stream);

    Packet arrival;
    for (int i = 0; i < framesPerArrival; ++i) {
        arrival += Request(function, quantity, i, units > 0 ? 1 + i % units : 1);
    }

    auto handOver = std::chrono::steady_clock::now();
    for (auto _ : state) {
        dispatcher.CarryOut(engine.ProcessPacket(arrival, 1).steps);
        while (engine.ReleasePending()) dispatcher.CarryOut(engine.ContinueRelease().steps);
        if (traced == 2 && file.Pending() && std::chrono::steady_clock::now() >= handOver) {
            file.Flush();
            handOver = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
        }
    }
    if (traced == 2) {
        trace.RemoveListener(stream);
        file.Close(std::chrono::seconds(5));
        state.counters["file_bytes"] = static_cast<double>(written->load());
        state.counters["lost_lines"] = static_cast<double>(file.LostLines());
    }
    benchmark::DoNotOptimize(sockets.bytes);
    state.SetItemsProcessed(state.iterations() * framesPerArrival);
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * framesPerArrival), benchmark::Counter::kIsRate);
}

void Cases(benchmark::internal::Benchmark* b) {
    for (auto [function, quantity] : {std::pair{3, 10}, {3, 125}, {16, 100}}) {
        for (int frames : {1, 1000}) {
            for (int traced : {2, 1, 0}) b->Args({function, quantity, frames, traced, 0});
            // A gateway with every unit a master may address behind it.
            for (int traced : {1, 0}) b->Args({function, quantity, frames, traced, 247});
        }
    }
    b->ArgNames({"fn", "qty", "frames", "traced", "units"});
}

BENCHMARK(ProcessPacketThroughput)->Apply(Cases);

// Rules that all reach the address test and none fires for reads at 0.
std::vector<FaultRule> MissingRules(int64_t count) {
    std::vector<FaultRule> list;
    for (int i = 0; i < count; ++i) {
        const int32_t first = 1000 + 10 * i;
        list.push_back(FaultRule{"Rule" + std::to_string(i), ValueMatch::AnyValue(),
                                 ValueMatch::OneValue(3), ValueMatch::RangeOf(first, first + 9),
                                 FaultAction{FaultActionKind::Exception, 6}, FaultWhen{}});
    }
    return list;
}

// The whole engine per frame, untraced, a thousand reads per arrival, with
// no rules and with rules tried before every frame. args: rules
void ProcessPacketWithRules(benchmark::State& state) {
    OperatorOptions options;
    options.showRawData = options.showReads = false;
    TraceModel trace;
    DiscardingSockets sockets;
    FixedRandom random;
    AnswerDispatcher dispatcher(trace, sockets);
    SlaveEngine engine(random, false);
    engine.SetOptions(options);
    engine.Faults() = FaultRules(MissingRules(state.range(0)));
    constexpr int kFrames = 1000;
    Packet arrival;
    for (int i = 0; i < kFrames; ++i) arrival += Request(3, 10, i, 1);
    for (auto _ : state) {
        dispatcher.CarryOut(engine.ProcessPacket(arrival, 1).steps);
        while (engine.ReleasePending()) dispatcher.CarryOut(engine.ContinueRelease().steps);
    }
    benchmark::DoNotOptimize(sockets.bytes);
    state.SetItemsProcessed(state.iterations() * kFrames);
}

BENCHMARK(ProcessPacketWithRules)->Arg(0)->Arg(50)->ArgName("rules");

// args: rules
void FaultRulesDecide(benchmark::State& state) {
    FaultRules rules(MissingRules(state.range(0)));
    FixedRandom random;
    const Packet frame = Request(3, 10, 1, 1);
    const std::string_view pdu = std::string_view(frame).substr(7);
    for (auto _ : state) {
        auto fired = rules.Decide(1, 3, pdu, random);
        benchmark::DoNotOptimize(fired);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(FaultRulesDecide)->Arg(0)->Arg(50)->ArgName("rules");

}  // namespace

BENCHMARK_MAIN();
