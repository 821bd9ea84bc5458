// Descriptor-level steps the Qt sockets do not offer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik {

// Writes what the system takes at once, without blocking and without
// SIGPIPE; returns the count written (0 when full or broken).
std::size_t SendWithoutBlocking(int fd, const char* data, std::size_t size);

// Closes a descriptor that no socket object owns.
void CloseHandle(intptr_t handle);

}  // namespace tarvik
