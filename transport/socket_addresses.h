// Ports and addresses as the sockets take and show them.
#pragma once

#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <string>

namespace tarvik {

// The dotted form of an IPv4 address, IPv4-mapped IPv6 ones included; any
// other address in its own text form.
std::string DottedIPv4(const QHostAddress& address);

// Checks a port for a socket that is about to open: false outside 0..65535
// or while the socket is open.
bool PortMayBeSet(int32_t port, bool socketClosed);

}  // namespace tarvik
