// Where an answer goes back to: the TCP connection its request came on, or
// the UDP sender of its datagram. Plain values, compared and copied freely,
// so a queued answer carries its own way home.
#pragma once

#include <compare>
#include <cstdint>

namespace tarvik {

// Who sent a datagram: an IPv4 address (host order) and a port.
struct SenderKey {
    uint32_t address = 0;
    uint16_t port = 0;

    friend bool operator==(const SenderKey&, const SenderKey&) = default;
    friend auto operator<=>(const SenderKey&, const SenderKey&) = default;
};

struct AnswerRoute {
    // TCP: connections are numbered, because the data socket is reused by
    // the next master; an answer belongs only to the one its request came on.
    uint64_t connection = 0;
    bool udp = false;
    SenderKey sender;  // UDP only

    static AnswerRoute Stream(uint64_t connection) { return AnswerRoute{connection, false, {}}; }
    static AnswerRoute Datagram(const SenderKey& sender) { return AnswerRoute{0, true, sender}; }

    friend bool operator==(const AnswerRoute&, const AnswerRoute&) = default;
};

}  // namespace tarvik
