// Before a read run: write known values into the range the run reads, so
// every answered register can be checked, not only the answer's length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/load/load_options.h"

namespace tarvik::bench {

struct PrimeResult {
    // The value each register of the read range must hold, -1 past the table.
    std::vector<int32_t> knownValues;
    std::string error;  // set when the target did not take the writes
};

// Writes PrimedValue into the table part of [start, start + quantity) of the
// holding registers with function 16, one request at a time on a connection
// of its own, each answer checked and awaited at most `timeoutMs`.
PrimeResult PrimeHoldingRegisters(const LoadOptions& options);

// What a read of `shape` must answer once the range is primed.
std::vector<int32_t> PrimedReadValues(const RequestShape& shape);

}  // namespace tarvik::bench
