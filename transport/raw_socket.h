// Descriptor-level steps the Qt sockets do not offer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

// One non-blocking transfer on a stream descriptor: how many bytes moved,
// and what stopped it. `error` is 0 when nothing went wrong (a full or empty
// buffer included); for a receive, `peerClosed` says the peer sent its end.
struct StreamIo {
    std::size_t bytes = 0;
    int error = 0;
    bool peerClosed = false;
};

// Sends what the system takes at once, without SIGPIPE.
StreamIo SendSome(int fd, const char* data, std::size_t size);

// One recv of at most `size` bytes: a reset by the peer counts as its close,
// as it does for the Qt sockets.
StreamIo ReceiveOnce(int fd, char* into, std::size_t size);

// Readies an accepted or connected stream descriptor for the data path:
// non-blocking, no Nagle delay. False when it is no connected stream socket.
bool PrepareStream(int fd);

// The peer of a connected IPv4 or IPv6 stream as the sockets show it.
bool PeerOf(int fd, std::string& dottedAddress, int32_t& port);

// The system's text for an error number.
std::string ErrorText(int error);

// Closes a descriptor that no socket object owns.
void CloseHandle(intptr_t handle);

}  // namespace tarvik
