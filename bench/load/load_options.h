// The load generator's command line. Every run is bounded in requests and
// seconds, and only loopback targets are accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/load/request_frames.h"

namespace tarvik::bench {

enum class Transport { Tcp, Udp };

struct LoadOptions {
    std::string host = "127.0.0.1";
    int port = 1502;
    Transport transport = Transport::Tcp;
    RequestShape shape;
    int connections = 1;
    int depth = 1;  // requests in flight per connection
    // Send the next `depth` requests only once all of the last ones are
    // answered, as a polling master does; otherwise top up at every answer.
    bool batch = false;
    uint64_t count = 10000;  // requests in all
    double seconds = 10.0;   // wall-clock bound of the run
    int timeoutMs = 1000;    // a request unanswered this long is missing
    bool prime = true;       // write known values before a read run
};

inline constexpr int kMaxConnections = 64;
inline constexpr int kMaxDepth = 256;
inline constexpr uint64_t kMaxCount = 100'000'000;
inline constexpr double kMaxSeconds = 900.0;

struct ParsedOptions {
    std::optional<LoadOptions> options;  // empty when the line was refused
    std::string error;                   // why, for the user
    bool help = false;
};

ParsedOptions ParseLoadOptions(const std::vector<std::string>& args);

std::string LoadUsage();

// True for a dotted IPv4 address in 127.0.0.0/8 and for "localhost".
bool IsLoopbackTarget(const std::string& host);

// The IPv4 dotted form to connect to ("localhost" becomes 127.0.0.1).
std::string NumericHost(const std::string& host);

}  // namespace tarvik::bench
