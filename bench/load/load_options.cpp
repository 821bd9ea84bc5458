#include "bench/load/load_options.h"

#include <arpa/inet.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace tarvik::bench {
namespace {

std::optional<int64_t> WholeNumber(const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::optional<double> DecimalNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::size_t used = 0;
    try {
        const double value = std::stod(text, &used);
        if (used != text.size() || !std::isfinite(value)) return std::nullopt;
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Reads a whole number within [low, high] into `target`; an error text if not.
std::string ReadInt(const std::string& name, const std::string& text, int64_t low, int64_t high,
                    const std::function<void(int64_t)>& target) {
    const auto value = WholeNumber(text);
    if (!value || *value < low || *value > high) {
        return name + " wants a whole number from " + std::to_string(low) + " to " +
               std::to_string(high) + ", not '" + text + "'";
    }
    target(*value);
    return {};
}

std::string CheckShape(const LoadOptions& o) {
    const RequestShape& s = o.shape;
    if (s.function != 3 && s.function != 4 && s.function != 6 && s.function != 16) {
        return "--fn must be 3, 4, 6 or 16";
    }
    if ((s.function == 3 || s.function == 4) && s.quantity > kMaxReadQuantity) {
        return "--qty of a read is at most " + std::to_string(kMaxReadQuantity);
    }
    if (s.function == 16 && s.quantity > kMaxWriteQuantity) {
        return "--qty of function 16 is at most " + std::to_string(kMaxWriteQuantity);
    }
    if (s.function != 6 && s.start + s.quantity > 65536) return "--start + --qty passes 65536";
    return {};
}

}  // namespace

bool IsLoopbackTarget(const std::string& host) {
    if (host == "localhost") return true;
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
    return (ntohl(address.s_addr) >> 24) == 127;
}

std::string NumericHost(const std::string& host) {
    return host == "localhost" ? "127.0.0.1" : host;
}

std::string LoadUsage() {
    return "usage: tarvik_load --port N [--host 127.x.x.x] [--proto tcp|udp] [--fn 3|4|6|16]\n"
           "                   [--qty N] [--start N] [--unit N] [--conns N] [--depth N] [--batch]\n"
           "                   [--count N] [--seconds S] [--timeout-ms N] [--no-prime]\n"
           "Sends Modbus requests to a loopback slave, checks every answer and prints one\n"
           "line of JSON. Defaults: 127.0.0.1:1502 tcp, fn 3, qty 10, start 0, unit 1,\n"
           "1 connection, depth 1, 10000 requests, 10 seconds, timeout 1000 ms.\n"
           "--depth keeps that many requests in flight, topped up as answers come;\n"
           "with --batch the next batch goes out only when the last is answered.\n"
           "Exit status: 0 all answers right, 3 some wrong or missing, 1 no run, 2 usage.\n";
}

ParsedOptions ParseLoadOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    LoadOptions o;
    std::string error;

    using Setter = std::function<std::string(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--host",
         [&](const std::string& v) {
             o.host = v;
             return std::string();
         }},
        {"--port",
         [&](const std::string& v) {
             return ReadInt("--port", v, 1, 65535,
                            [&](int64_t n) { o.port = static_cast<int>(n); });
         }},
        {"--proto",
         [&](const std::string& v) {
             if (v == "tcp")
                 o.transport = Transport::Tcp;
             else if (v == "udp")
                 o.transport = Transport::Udp;
             else
                 return std::string("--proto is tcp or udp");
             return std::string();
         }},
        {"--fn",
         [&](const std::string& v) {
             return ReadInt("--fn", v, 1, 255,
                            [&](int64_t n) { o.shape.function = static_cast<int>(n); });
         }},
        {"--qty",
         [&](const std::string& v) {
             return ReadInt("--qty", v, 1, 127,
                            [&](int64_t n) { o.shape.quantity = static_cast<int>(n); });
         }},
        {"--start",
         [&](const std::string& v) {
             return ReadInt("--start", v, 0, 65535,
                            [&](int64_t n) { o.shape.start = static_cast<int>(n); });
         }},
        {"--unit",
         [&](const std::string& v) {
             return ReadInt("--unit", v, 0, 255,
                            [&](int64_t n) { o.shape.unit = static_cast<int>(n); });
         }},
        {"--conns",
         [&](const std::string& v) {
             return ReadInt("--conns", v, 1, kMaxConnections,
                            [&](int64_t n) { o.connections = static_cast<int>(n); });
         }},
        {"--depth",
         [&](const std::string& v) {
             return ReadInt("--depth", v, 1, kMaxDepth,
                            [&](int64_t n) { o.depth = static_cast<int>(n); });
         }},
        {"--count",
         [&](const std::string& v) {
             return ReadInt("--count", v, 1, static_cast<int64_t>(kMaxCount),
                            [&](int64_t n) { o.count = static_cast<uint64_t>(n); });
         }},
        {"--timeout-ms",
         [&](const std::string& v) {
             return ReadInt("--timeout-ms", v, 1, 60000,
                            [&](int64_t n) { o.timeoutMs = static_cast<int>(n); });
         }},
        {"--seconds",
         [&](const std::string& v) {
             const auto value = DecimalNumber(v);
             if (!value || *value <= 0 || *value > kMaxSeconds) {
                 return "--seconds wants a number above 0 and at most " +
                        std::to_string(static_cast<int>(kMaxSeconds)) + ", not '" + v + "'";
             }
             o.seconds = *value;
             return std::string();
         }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return parsed;
        }
        if (arg == "--no-prime") {
            o.prime = false;
            continue;
        }
        if (arg == "--batch") {
            o.batch = true;
            continue;
        }
        const auto setter = valued.find(arg);
        if (setter == valued.end()) {
            parsed.error = "unknown option '" + arg + "'";
            return parsed;
        }
        if (i + 1 == args.size()) {
            parsed.error = arg + " needs a value";
            return parsed;
        }
        error = setter->second(args[++i]);
        if (!error.empty()) {
            parsed.error = error;
            return parsed;
        }
    }

    if (!IsLoopbackTarget(o.host)) {
        parsed.error =
            "refusing target '" + o.host + "': only 127.0.0.0/8 (or localhost) is allowed";
        return parsed;
    }
    error = CheckShape(o);
    if (!error.empty()) {
        parsed.error = error;
        return parsed;
    }
    if (o.shape.function == 6) o.shape.quantity = 1;
    parsed.options = o;
    return parsed;
}

}  // namespace tarvik::bench
