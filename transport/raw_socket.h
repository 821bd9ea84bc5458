// Descriptor-level steps the Qt sockets do not offer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik {

// A duplicate of `handle` when it is a connected stream socket, else -1: an
// accept takes over only a real connection, never whatever a stray number
// might name. The caller owns the duplicate.
int DuplicateConnectedStream(intptr_t handle);

// Writes what the system takes at once, without blocking and without
// SIGPIPE; returns the count written (0 when full or broken).
std::size_t SendWithoutBlocking(int fd, const char* data, std::size_t size);

// Closes a descriptor that no socket object owns.
void CloseHandle(intptr_t handle);

}  // namespace tarvik
