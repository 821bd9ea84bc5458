// UDP senders and answer routes as "host:port" text, so tests name them the
// way a trace or a capture does.
#pragma once

#include <cstdio>
#include <string>

#include "engine/answer_route.h"

namespace tarvik::testing {

// A UDP sender from its dotted address.
inline SenderKey Sender(const char* dotted, int port) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    return SenderKey{(a << 24) | (b << 16) | (c << 8) | d, static_cast<uint16_t>(port)};
}

// "host:port" of a UDP route, "" for the stream.
inline std::string RouteText(const AnswerRoute& route) {
    if (!route.udp) return "";
    const uint32_t a = route.sender.address;
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
           std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255) + ":" +
           std::to_string(route.sender.port);
}
inline std::string SenderText(const SenderKey& sender) {
    return sender == SenderKey{} ? "" : RouteText(AnswerRoute::Datagram(sender));
}

}  // namespace tarvik::testing
