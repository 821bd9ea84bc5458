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
    if (!PortMayBeSet(port, state_ == SocketState::Closed)) return false;
    localPort_ = port;
    return true;
}

std::optional<SocketError> UdpEndpoint::Bind(const QHostAddress& address) {
    if (state_ != SocketState::Closed) {
        return SocketError{SocketError::What::OpenFailed, "the endpoint is already bound"};
    }
    auto* udp = new QUdpSocket(this);
    if (!udp->bind(address, static_cast<quint16>(localPort_), QAbstractSocket::DontShareAddress)) {
        SocketError error{SocketError::What::OpenFailed, udp->errorString().toStdString()};
        delete udp;
        return error;
    }
    udp_ = udp;
    state_ = SocketState::Open;
    connect(udp_, &QUdpSocket::readyRead, this, &UdpEndpoint::OnReadyRead);
    // A datagram socket outlives the errors of single sends; they are
    // reported and change nothing.
    const uint64_t generation = generation_;
    connect(udp_, &QAbstractSocket::errorOccurred, this,
            [this, generation](QAbstractSocket::SocketError error) {
                // A read that found nothing, or the report that a sender's
                // port has closed since, is not worth telling anyone.
                if (error == QAbstractSocket::TemporaryError ||
                    error == QAbstractSocket::ConnectionRefusedError)
                    return;
                const SocketError failure{SocketError::What::SendFailed,
                                          udp_ != nullptr ? udp_->errorString().toStdString() : ""};
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, failure] {
                        if (generation == generation_) emit Failed(failure);
                    },
                    Qt::QueuedConnection);
            });
    return std::nullopt;
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

bool UdpEndpoint::SendTo(std::string_view data, const SenderKey& to) {
    if (udp_ == nullptr || to.port == 0) return false;
    const qint64 sent = udp_->writeDatagram(data.data(), static_cast<qint64>(data.size()),
                                            QHostAddress(to.address), to.port);
    return sent == static_cast<qint64>(data.size());
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
        held_.sender =
            SenderOf(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        holding_ = true;
    }
    // An empty datagram is an arrival too.
    const bool outer = delivering_;
    delivering_ = true;
    emit DataArrival(static_cast<int32_t>(held_.bytes.size()));
    delivering_ = outer;
}

SenderKey SenderOf(const QHostAddress& address, quint16 port) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    // The endpoint binds IPv4 only, so every sender has an IPv4 address.
    return SenderKey{isV4 ? v4 : 0, port};
}

}  // namespace tarvik
