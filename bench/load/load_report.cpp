#include "bench/load/load_report.h"

#include <cstdio>

namespace tarvik::bench {

std::string FormatReport(const LoadOptions& options, const LoadResult& result) {
    const double rps = result.seconds > 0 ? static_cast<double>(result.ok) / result.seconds : 0.0;
    char line[512];
    std::snprintf(line, sizeof line,
                  "{\"target\":\"%s:%d\",\"proto\":\"%s\",\"fn\":%d,\"qty\":%d,\"conns\":%d,"
                  "\"depth\":%d,\"refill\":\"%s\",\"ok\":%llu,\"wrong\":%llu,\"missing\":%llu,"
                  "\"seconds\":%.3f,"
                  "\"rps\":%.1f,\"p50_us\":%llu,\"p99_us\":%llu,\"max_us\":%llu}",
                  NumericHost(options.host).c_str(), options.port,
                  options.transport == Transport::Tcp ? "tcp" : "udp", options.shape.function,
                  options.shape.quantity, options.connections, options.depth,
                  options.batch ? "batch" : "window", static_cast<unsigned long long>(result.ok),
                  static_cast<unsigned long long>(result.wrong),
                  static_cast<unsigned long long>(result.missing), result.seconds, rps,
                  static_cast<unsigned long long>(result.latency.Percentile(0.50)),
                  static_cast<unsigned long long>(result.latency.Percentile(0.99)),
                  static_cast<unsigned long long>(result.latency.Max()));
    return line;
}

}  // namespace tarvik::bench
