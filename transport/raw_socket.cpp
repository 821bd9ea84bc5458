#include "transport/raw_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik {
std::size_t SendWithoutBlocking(int fd, const char* data, std::size_t size) {
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // full, or broken: the socket's own write reports that
        }
    }
    return sent;
}

void CloseHandle(intptr_t handle) {
    if (handle >= 0) ::close(static_cast<int>(handle));
}

}  // namespace tarvik
