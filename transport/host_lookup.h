// Finds the IPv4 address to connect to: a dotted address at once, a name
// through the system's resolver on the event loop.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

namespace tarvik {

class HostLookup {
public:
    // Called from the event loop with the address, or with a null address
    // and a text saying why.
    using Done = std::function<void(const QHostAddress& address, const QString& failure)>;

    HostLookup() = default;
    ~HostLookup() { Abort(); }
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // True when `host` is already a dotted IPv4 address (stored in `address`):
    // no lookup is needed.
    static bool IsIPv4Literal(const QString& host, QHostAddress& address);

    // Starts a lookup; `context` going away cancels the callback.
    void Start(const QString& host, QObject* context, Done done);
    // A lookup in progress never calls back.
    void Abort();

private:
    int lookupId_ = -1;
};

}  // namespace tarvik
