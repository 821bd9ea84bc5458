// The one line of JSON a load run prints.
#pragma once

#include <string>

#include "bench/load/load_options.h"
#include "bench/load/load_run.h"

namespace tarvik::bench {

// {"target":..,"proto":..,"fn":..,"qty":..,"conns":..,"depth":..,"refill":..,"ok":..,
//  "wrong":..,"missing":..,"seconds":..,"rps":..,"p50_us":..,"p99_us":..,
//  "max_us":..}; rps counts the answers that were right.
std::string FormatReport(const LoadOptions& options, const LoadResult& result);

}  // namespace tarvik::bench
