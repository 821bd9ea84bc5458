#include "transport/udp_endpoint.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "transport/socket_addresses.h"
#include "transport/socket_limits.h"

namespace tarvik {

UdpEndpoint::UdpEndpoint(QObject* parent) : QObject(parent) {}

UdpEndpoint::~UdpEndpoint() { Close(); }

int32_t UdpEndpoint::LocalPort() const { return udp_ != nullptr ? udp_->localPort() : localPort_; }

bool UdpEndpoint::SetLocalPort(int32_t port) {
    if (!PortMayBeSet(port, state_ == SocketState::Closed, lastError_)) return false;
    localPort_ = port;
    return true;
}

bool UdpEndpoint::Bind(const QHostAddress& address) {
    if (state_ != SocketState::Closed) {
        lastError_ = QStringLiteral("Bind needs a closed endpoint");
        return false;
    }
    auto* udp = new QUdpSocket(this);
    if (!udp->bind(address, static_cast<quint16>(localPort_), QAbstractSocket::DontShareAddress)) {
        lastError_ = udp->errorString();
        delete udp;
        return false;
    }
    udp_ = udp;
    state_ = SocketState::Open;
    connect(udp_, &QUdpSocket::readyRead, this, &UdpEndpoint::OnReadyRead);
    // A datagram socket outlives the errors of single sends; they are
    // reported and change nothing.
    const uint64_t generation = generation_;
    connect(udp_, &QAbstractSocket::errorOccurred, this,
            [this, generation](QAbstractSocket::SocketError error) {
                // A read that found nothing is not worth an event.
                if (error == QAbstractSocket::TemporaryError) return;
                const QString text = udp_ != nullptr ? udp_->errorString() : QString();
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, error, text] {
                        if (generation == generation_) emit Error(static_cast<int>(error), text);
                    },
                    Qt::QueuedConnection);
            });
    return true;
}

void UdpEndpoint::Close() {
    ++generation_;
    arrivalPosted_ = false;
    if (udp_ != nullptr) {
        disconnect(udp_, nullptr, this, nullptr);
        udp_->close();
        udp_->deleteLater();
        udp_ = nullptr;
    }
    held_ = Datagram{};
    holding_ = false;
    state_ = SocketState::Closed;
}

Datagram UdpEndpoint::GetData() {
    Datagram datagram = std::move(held_);
    held_ = Datagram{};
    holding_ = false;
    if (udp_ != nullptr && udp_->hasPendingDatagrams()) ScheduleArrival();
    return datagram;
}

bool UdpEndpoint::SendTo(const Packet& data, const std::string& host, int32_t port) {
    if (udp_ == nullptr) {
        lastError_ = QStringLiteral("The UDP socket is not bound");
        return false;
    }
    const QHostAddress to(QString::fromStdString(host));
    if (to.isNull() || port <= 0 || port > 65535) {
        lastError_ = QStringLiteral("No address to send to");
        return false;
    }
    const qint64 sent = udp_->writeDatagram(data.data(), static_cast<qint64>(data.size()), to,
                                            static_cast<quint16>(port));
    if (sent != static_cast<qint64>(data.size())) {
        lastError_ = udp_->errorString();
        return false;
    }
    return true;
}

void UdpEndpoint::OnReadyRead() {
    if (arrivalPosted_ || delivering_) {
        ScheduleArrival();
        return;
    }
    DeliverArrival(generation_);
}

void UdpEndpoint::ScheduleArrival() {
    if (arrivalPosted_) return;
    arrivalPosted_ = true;
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverArrival(generation); }, Qt::QueuedConnection);
}

void UdpEndpoint::DeliverArrival(uint64_t generation) {
    if (generation != generation_ || udp_ == nullptr) return;
    arrivalPosted_ = false;
    if (!holding_) {
        // Always read, even when nothing seems pending: a notification that
        // carried only a socket error (an ICMP report of an earlier answer)
        // leaves Qt waiting for a read before it reports the next datagram.
        const QNetworkDatagram datagram = udp_->receiveDatagram(kMaxDatagramBytes);
        if (!datagram.isValid()) return;
        const QByteArray data = datagram.data();
        held_.bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
        held_.senderIP = DottedIPv4(datagram.senderAddress());
        held_.senderPort = datagram.senderPort();
        holding_ = true;
    }
    // An empty datagram is an arrival too.
    const bool outer = delivering_;
    delivering_ = true;
    emit DataArrival(static_cast<int32_t>(held_.bytes.size()));
    delivering_ = outer;
}

}  // namespace tarvik
