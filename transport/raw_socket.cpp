#include "transport/raw_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik {
namespace {

bool IsConnectedStreamSocket(int fd) {
    int type = 0;
    int listening = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return false;
    size = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening != 0)
        return false;
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0;
}

}  // namespace

int DuplicateConnectedStream(intptr_t handle) {
    if (handle < 0 || handle > INT32_MAX) return -1;
    const int fd = ::fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (!IsConnectedStreamSocket(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

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
