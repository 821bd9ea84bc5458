// Who sent a datagram: the address and port its answers go back to.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace tarvik {

struct SenderKey {
    std::string host;
    int32_t port = 0;

    friend bool operator==(const SenderKey&, const SenderKey&) = default;
    friend auto operator<=>(const SenderKey&, const SenderKey&) = default;
};

}  // namespace tarvik
