// Client sockets towards a loopback target.
#pragma once

#include <string>

#include "bench/load/load_options.h"

namespace tarvik::bench {

// A connected socket (TCP with Nagle off, or UDP bound to the target), or -1
// with `error` set. Refuses any host outside 127.0.0.0/8 itself, whatever
// the caller checked before.
int ConnectToTarget(const LoadOptions& options, std::string& error);

bool SetNonBlocking(int fd);

}  // namespace tarvik::bench
