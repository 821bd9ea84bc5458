// One bounded load run: connections that each keep `depth` requests in
// flight, every answer checked, until the request count is answered or the
// wall-clock bound passes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bench/load/latency_histogram.h"
#include "bench/load/load_options.h"

namespace tarvik::bench {

struct LoadResult {
    uint64_t sent = 0;
    uint64_t ok = 0;
    uint64_t wrong = 0;
    uint64_t missing = 0;  // sent and never answered in time
    double seconds = 0;
    LatencyHistogram latency;         // of every answer that matched a request
    std::vector<std::string> faults;  // the first few wrong answers, described
    std::string error;                // set when no connection could be made
};

// `knownValues` holds, for reads, the value each register of the range must
// hold (-1 where unknown); empty when nothing is known.
LoadResult RunLoad(const LoadOptions& options, std::span<const int32_t> knownValues);

}  // namespace tarvik::bench
