#include "slave/bind_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik {

BindChoice ChooseBindAddress(const std::string& setting) {
    BindChoice choice;
    if (setting.empty()) {
        choice.address = QHostAddress(QHostAddress::AnyIPv4);
        return choice;
    }
    const QHostAddress address(QString::fromStdString(setting));
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        choice.address = address;
        return choice;
    }
    choice.warning = "BindAddress=" + setting + " is not an IPv4 address: no port can open";
    return choice;
}

std::string BindFailure(const std::string& setting, const BindChoice& choice) {
    if (choice.address.isNull() || choice.address == QHostAddress(QHostAddress::AnyIPv4)) return {};
    // Any free port on the address: its refusal is the address's, not a port's.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(choice.address.toIPv4Address());
    at.sin_port = 0;
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
    const int error = errno;
    ::close(fd);
    if (bound == 0) return {};
    return "BindAddress=" + setting + ": no port can open on it: " + std::strerror(error);
}

}  // namespace tarvik
