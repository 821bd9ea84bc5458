#include "transport/socket_addresses.h"

namespace tarvik {

std::string DottedIPv4(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString().toStdString() : address.toString().toStdString();
}

bool PortMayBeSet(int32_t port, bool socketClosed, QString& error) {
    if (port < 0 || port > 65535) {
        error = QStringLiteral("Invalid port number %1").arg(port);
        return false;
    }
    if (!socketClosed) {
        error = QStringLiteral("The port cannot change while the socket is open");
        return false;
    }
    return true;
}

}  // namespace tarvik
