// How much the sockets take in and hold back at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik {

// A TCP arrival hands out at most this much; the rest raises the next
// arrival at once, so one flood never becomes one giant packet.
inline constexpr std::size_t kMaxGetDataBytes = 64 * 1024;
// Larger than any IPv4 datagram, so a datagram is never cut.
inline constexpr int64_t kMaxDatagramBytes = 65536;

// While more than this waits to be written, because the peer does not read
// its answers, no arrival is raised: the peer's requests wait in the
// system's buffers until it reads again, instead of answers piling up here.
inline constexpr int64_t kWriteBacklogBytes = 1024 * 1024;

}  // namespace tarvik
