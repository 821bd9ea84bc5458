#include "transport/socket_addresses.h"

namespace tarvik {

std::string DottedIPv4(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString().toStdString() : address.toString().toStdString();
}

bool PortMayBeSet(int32_t port, bool socketClosed) {
    return port >= 0 && port <= 65535 && socketClosed;
}

}  // namespace tarvik
