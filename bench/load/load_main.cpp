// tarvik_load: a bounded Modbus/TCP and UDP master for loopback load tests.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/load/load_options.h"
#include "bench/load/load_report.h"
#include "bench/load/load_run.h"
#include "bench/load/register_priming.h"

using namespace tarvik::bench;

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseLoadOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(LoadUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "tarvik_load: %s\n%s", parsed.error.c_str(), LoadUsage().c_str());
        return 2;
    }
    const LoadOptions& options = *parsed.options;

    // Holding registers can be primed and then checked value by value; input
    // registers only the operator sets, so their reads are checked by length.
    std::vector<int32_t> known;
    if (options.shape.function == 3 && options.prime) {
        PrimeResult primed = PrimeHoldingRegisters(options);
        if (!primed.error.empty()) {
            std::fprintf(stderr, "tarvik_load: %s; checking lengths only\n", primed.error.c_str());
        }
        known = std::move(primed.knownValues);
    }

    const LoadResult result = RunLoad(options, known);
    if (!result.error.empty()) {
        std::fprintf(stderr, "tarvik_load: %s\n", result.error.c_str());
        return 1;
    }
    for (const std::string& fault : result.faults)
        std::fprintf(stderr, "tarvik_load: %s\n", fault.c_str());
    std::printf("%s\n", FormatReport(options, result).c_str());
    return result.wrong == 0 && result.missing == 0 ? 0 : 3;
}
