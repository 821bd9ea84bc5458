// How fast the trace's text is made: the lines of the load scenarios, with
// every trace option on, rendered into one reused buffer as the trace file's
// writer renders them. bytes_per_second is the rendered text per core.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "trace/trace_entry.h"

namespace tarvik {
namespace {

std::string Bytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 37 + 5);
    return bytes;
}

// The entries one request leaves: its raw dump, its request line, the raw
// dump of the answer and the answer line.
std::vector<TraceEntry> RequestEntries(const std::string& request, const std::string& answer,
                                       const std::string& answerData, std::string_view what) {
    std::vector<TraceEntry> entries(4);
    entries[0].kind = TraceKind::Raw;
    entries[0].text = "<-";
    entries[0].bytes = request;
    entries[1].kind = TraceKind::Request;
    entries[1].transaction = 0x1234;
    entries[1].text = what;
    entries[2].kind = TraceKind::Raw;
    entries[2].text = "->";
    entries[2].bytes = answer;
    entries[3].kind = TraceKind::Answer;
    entries[3].transaction = 0x1234;
    entries[3].text = what;
    entries[3].bytes = answerData;
    return entries;
}

void Render(benchmark::State& state, const std::vector<TraceEntry>& entries) {
    const TraceStamp stamp("12:34:56", "2026-12-07");
    std::string out;
    out.reserve(1 << 20);
    std::size_t rendered = 0;
    for (auto _ : state) {
        for (const TraceEntry& entry : entries) AppendEntryLines(entry, stamp, true, out);
        if (out.size() > (1u << 19)) {  // written out, as the writer does
            rendered += out.size();
            out.clear();
        }
    }
    rendered += out.size();
    benchmark::DoNotOptimize(out.data());
    state.SetBytesProcessed(static_cast<int64_t>(rendered));
}

void ReadTenRegisters(benchmark::State& state) {
    const std::string request = Bytes(12), answer = Bytes(29), data = Bytes(20);
    Render(state, RequestEntries(request, answer, data, "Read Holding Registers 0, "));
}
BENCHMARK(ReadTenRegisters);

void ReadHundredTwentyFiveRegisters(benchmark::State& state) {
    const std::string request = Bytes(12), answer = Bytes(259), data = Bytes(250);
    Render(state, RequestEntries(request, answer, data, "Read Holding Registers 0, "));
}
BENCHMARK(ReadHundredTwentyFiveRegisters);

void WriteHundredRegisters(benchmark::State& state) {
    const std::string request = Bytes(213), answer = Bytes(12), values = Bytes(200);
    std::vector<TraceEntry> entries =
        RequestEntries(request, answer, {}, "Write Multiple Registers 0, ");
    TraceEntry registers;
    registers.kind = TraceKind::RegisterValues;
    registers.transaction = 0x1234;
    registers.bytes = values;
    entries.insert(entries.begin() + 2, registers);
    Render(state, entries);
}
BENCHMARK(WriteHundredRegisters);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
