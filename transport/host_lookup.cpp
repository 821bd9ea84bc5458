#include "transport/host_lookup.h"

#include <QHostInfo>

#include <algorithm>
#include <utility>

namespace tarvik {

bool HostLookup::IsIPv4Literal(const QString& host, QHostAddress& address) {
    const QHostAddress literal(host);
    if (literal.protocol() != QAbstractSocket::IPv4Protocol) return false;
    address = literal;
    return true;
}

void HostLookup::Start(const QString& host, QObject* context, Done done) {
    Abort();
    lookupId_ =
        QHostInfo::lookupHost(host, context, [this, done = std::move(done)](const QHostInfo& info) {
            lookupId_ = -1;
            const auto addresses = info.addresses();
            const auto v4 =
                std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
                    return a.protocol() == QAbstractSocket::IPv4Protocol;
                });
            if (v4 == addresses.end()) {
                done(QHostAddress(), QStringLiteral("No IPv4 address for %1").arg(info.hostName()));
                return;
            }
            done(*v4, QString());
        });
}

void HostLookup::Abort() {
    if (lookupId_ == -1) return;
    QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
}

}  // namespace tarvik
