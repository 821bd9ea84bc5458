// The local address the server role opens its port on, from BindAddress=.
#pragma once

#include <QHostAddress>

#include <string>

namespace tarvik {

struct BindChoice {
    QHostAddress address;  // null: no port can open on it
    std::string warning;   // a line for standard error, empty when none
};

// Empty and 0.0.0.0 mean every interface; any other IPv4 address is tried
// as it is (whether the machine has it is the system's to say when the port
// opens); anything else is no address, and says so.
BindChoice ChooseBindAddress(const std::string& setting);

// After no entry of the list opened on `choice`: a line with the system's
// reason when the address itself takes no port, empty when it does (the
// ports were merely in use) or when `choice` already warned.
std::string BindFailure(const std::string& setting, const BindChoice& choice);

}  // namespace tarvik
