// Sockets on 127.0.0.1, the only address the tests and benches talk on.
#pragma once

#include <netinet/in.h>

namespace tarvik::testing {

sockaddr_in LoopbackAddress(int port);

// A socket of `type` (SOCK_STREAM or SOCK_DGRAM, with SOCK_NONBLOCK or
// SOCK_CLOEXEC added as wanted) bound to 127.0.0.1:`port` (0: one the system
// picks), or -1 with nothing left open. `reuseAddress` lets a listener
// bind a port that still has connections in TIME_WAIT.
int BindLoopback(int type, int port, bool reuseAddress = false);

// The local port a socket is bound to, 0 when it is not.
int BoundPort(int fd);

}  // namespace tarvik::testing
