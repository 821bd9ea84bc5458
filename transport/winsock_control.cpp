#include "transport/winsock_control.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>

namespace tarvik {

namespace {

// Error numbers raised with the Error event; the texts say the rest.
constexpr int kErrorNoRemote = 1;
constexpr int kErrorHostNotFound = 2;
constexpr int kErrorConnection = 3;

constexpr qint64 kReadBufferBytes = 4 * static_cast<qint64>(kMaxGetDataBytes);

// Only a connected stream socket may be taken over by Accept; anything else
// a stray requestID might name is refused.
bool IsConnectedStreamSocket(int fd) {
    int type = 0;
    int listening = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return false;
    size = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening != 0)
        return false;
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0;
}

std::string DottedIPv4(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString().toStdString() : address.toString().toStdString();
}

}  // namespace

// Hands each accepted descriptor to the control instead of wrapping it, so
// that any control can take it over by its number.
class WinsockControl::HandleListener : public QTcpServer {
public:
    explicit HandleListener(WinsockControl& owner) : QTcpServer(&owner), owner_(owner) {}

protected:
    void incomingConnection(qintptr handle) override {
        owner_.pendingRequests_.push_back(handle);
        const uint64_t generation = owner_.generation_;
        QMetaObject::invokeMethod(
            &owner_, [this, generation] { owner_.DeliverConnectionRequest(generation); },
            Qt::QueuedConnection);
    }

private:
    WinsockControl& owner_;
};

WinsockControl::WinsockControl(SocketProtocol protocol, QObject* parent)
    : QObject(parent), protocol_(protocol) {}

WinsockControl::~WinsockControl() { DropEverything(); }

int32_t WinsockControl::LocalPort() const {
    if (listener_ != nullptr) return listener_->serverPort();
    if (udp_ != nullptr) return udp_->localPort();
    if (tcp_ != nullptr && tcp_->state() == QAbstractSocket::ConnectedState) return tcp_->localPort();
    return localPort_;
}

bool WinsockControl::SetLocalPort(int32_t port) {
    if (port < 0 || port > 65535) {
        lastError_ = QStringLiteral("Invalid port number %1").arg(port);
        return false;
    }
    if (state_ != kSocketClosed) {
        lastError_ = QStringLiteral("The port cannot change while the socket is open");
        return false;
    }
    localPort_ = port;
    return true;
}

bool WinsockControl::Listen() {
    if (protocol_ != SocketProtocol::Tcp || state_ != kSocketClosed) {
        lastError_ = QStringLiteral("Listen needs a closed TCP socket");
        return false;
    }
    auto* listener = new HandleListener(*this);
    if (!listener->listen(QHostAddress::AnyIPv4, static_cast<quint16>(localPort_))) {
        lastError_ = listener->errorString();
        delete listener;
        return false;
    }
    listener_ = listener;
    state_ = kSocketListening;
    return true;
}

bool WinsockControl::Bind() {
    if (protocol_ != SocketProtocol::Udp || state_ != kSocketClosed) {
        lastError_ = QStringLiteral("Bind needs a closed UDP socket");
        return false;
    }
    auto* udp = new QUdpSocket(this);
    // Exclusive: a port another program holds must count as in use.
    if (!udp->bind(QHostAddress::AnyIPv4, static_cast<quint16>(localPort_),
                   QAbstractSocket::DontShareAddress)) {
        lastError_ = udp->errorString();
        delete udp;
        return false;
    }
    udp_ = udp;
    state_ = kSocketOpen;
    connect(udp_, &QUdpSocket::readyRead, this, &WinsockControl::OnReadyRead);
    // A datagram socket outlives the errors of single sends; they are reported
    // and change nothing.
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

bool WinsockControl::Accept(int32_t requestID) {
    if (protocol_ != SocketProtocol::Tcp) {
        lastError_ = QStringLiteral("Accept needs a TCP socket");
        return false;
    }
    if (state_ != kSocketClosed) Close();
    // The listener closes its own descriptor once the request's handler has
    // run, so the connection is taken over through a duplicate.
    const int fd = requestID >= 0 ? ::fcntl(requestID, F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0 || !IsConnectedStreamSocket(fd)) {
        if (fd >= 0) ::close(fd);
        lastError_ = QStringLiteral("No pending connection %1").arg(requestID);
        return false;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        lastError_ = socket->errorString();
        delete socket;
        ::close(fd);
        return false;
    }
    NewGeneration();
    AdoptSocket(socket);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state_ = kSocketConnected;
    RememberPeer();
    return true;
}

bool WinsockControl::Connect() {
    if (protocol_ != SocketProtocol::Tcp || state_ != kSocketClosed) {
        lastError_ = QStringLiteral("Connect needs a closed TCP socket");
        return false;
    }
    NewGeneration();
    if (remoteHost_.empty() || remotePort_ <= 0 || remotePort_ > 65535) {
        state_ = kSocketError;
        PostError(kErrorNoRemote, QStringLiteral("No remote host or port to connect to"));
        return true;
    }
    const QString host = QString::fromStdString(remoteHost_);
    const QHostAddress literal(host);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol) {
        StartConnecting(literal);
        return true;
    }
    state_ = kSocketResolvingHost;
    const uint64_t generation = generation_;
    lookupId_ = QHostInfo::lookupHost(
        host, this, [this, generation](const QHostInfo& info) { OnLookupDone(generation, info); });
    return true;
}

void WinsockControl::OnLookupDone(uint64_t generation, const QHostInfo& info) {
    if (generation != generation_) return;
    lookupId_ = -1;
    const auto addresses = info.addresses();
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    if (v4 == addresses.end()) {
        DeliverError(generation, kErrorHostNotFound,
                     QStringLiteral("No IPv4 address for %1").arg(info.hostName()));
        return;
    }
    state_ = kSocketHostResolved;
    StartConnecting(*v4);
}

void WinsockControl::StartConnecting(const QHostAddress& address) {
    auto* socket = new QTcpSocket(this);
    AdoptSocket(socket);
    state_ = kSocketConnecting;
    const uint64_t generation = generation_;
    connect(socket, &QTcpSocket::connected, this, [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { DeliverConnected(generation); }, Qt::QueuedConnection);
    });
    socket->connectToHost(address, static_cast<quint16>(remotePort_));
}

void WinsockControl::AdoptSocket(QTcpSocket* socket) {
    tcp_ = socket;
    // Bytes a flooding peer sends wait in the system's buffers, and TCP slows
    // the peer down, instead of piling up here faster than they are taken.
    socket->setReadBufferSize(kReadBufferBytes);
    const uint64_t generation = generation_;
    // Qt may signal from inside our own calls; every signal only posts an
    // event, which the event loop delivers later if the connection is still
    // the current one.
    connect(socket, &QTcpSocket::readyRead, this, &WinsockControl::OnReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (awaitingDrain_ && BytesToWrite() <= kWriteBacklogBytes) {
            awaitingDrain_ = false;
            ScheduleArrival();
        }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { DeliverPeerClosed(generation); }, Qt::QueuedConnection);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, generation, socket](QAbstractSocket::SocketError error) {
                // The peer closing is reported through disconnected.
                if (error == QAbstractSocket::RemoteHostClosedError) return;
                const QString text = socket->errorString();
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, error, text] {
                        DeliverError(generation, kErrorConnection + static_cast<int>(error), text);
                    },
                    Qt::QueuedConnection);
            });
}

bool WinsockControl::SendData(const Packet& data) {
    if (protocol_ == SocketProtocol::Udp) {
        if (udp_ == nullptr) {
            lastError_ = QStringLiteral("The UDP socket is not bound");
            return false;
        }
        const QHostAddress to(QString::fromStdString(remoteHost_));
        if (to.isNull() || remotePort_ <= 0 || remotePort_ > 65535) {
            lastError_ = QStringLiteral("No address to send to");
            return false;
        }
        const qint64 sent = udp_->writeDatagram(data.data(), static_cast<qint64>(data.size()), to,
                                                static_cast<quint16>(remotePort_));
        if (sent != static_cast<qint64>(data.size())) {
            lastError_ = udp_->errorString();
            return false;
        }
        return true;
    }
    if (state_ != kSocketConnected || tcp_ == nullptr) {
        lastError_ = QStringLiteral("Not connected");
        return false;
    }
    // The answers to one arrival go out together when its handler is done:
    // a batch of requests gets one write, not one small write per answer.
    if (delivering_) {
        outgoing_ += data;
        return true;
    }
    return WriteOut(data);
}

bool WinsockControl::WriteOut(const Packet& bytes) {
    std::size_t sent = 0;
    // While the socket holds nothing back, the bytes go straight to the
    // system, without arming and disarming its write notifier for every
    // answer (each costs the loop a wake-up). Whatever the system does not
    // take the socket queues behind, and writes in order once the peer reads.
    const int fd = static_cast<int>(tcp_->socketDescriptor());
    if (fd >= 0 && tcp_->bytesToWrite() == 0) {
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // full, or broken: the socket's own write reports that
            }
        }
    }
    if (sent == bytes.size()) return true;
    const qint64 rest = static_cast<qint64>(bytes.size() - sent);
    const qint64 queued = tcp_->write(bytes.data() + sent, rest);
    if (queued != rest) {
        lastError_ = tcp_->errorString();
        return false;
    }
    return true;
}

int64_t WinsockControl::BytesToWrite() const {
    return (tcp_ != nullptr ? tcp_->bytesToWrite() : 0) + static_cast<int64_t>(outgoing_.size());
}

Packet WinsockControl::GetData() {
    if (protocol_ == SocketProtocol::Udp) {
        Packet datagram;
        datagram.swap(heldDatagram_);
        holdingDatagram_ = false;
        if (udp_ != nullptr && udp_->hasPendingDatagrams()) ScheduleArrival();
        return datagram;
    }
    if (tcp_ == nullptr) return {};
    const qint64 take = std::min<qint64>(tcp_->bytesAvailable(), kMaxGetDataBytes);
    Packet bytes(static_cast<std::size_t>(std::max<qint64>(take, 0)), '\0');
    const qint64 got = take > 0 ? tcp_->read(bytes.data(), take) : 0;
    bytes.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
    if (tcp_->bytesAvailable() > 0) ScheduleArrival();
    return bytes;
}

void WinsockControl::Close() {
    DropEverything();
    state_ = kSocketClosed;
}

void WinsockControl::NewGeneration() {
    ++generation_;
    arrivalPosted_ = false;
    errorRaised_ = false;
    awaitingDrain_ = false;
}

void WinsockControl::DropEverything() {
    NewGeneration();
    if (lookupId_ != -1) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    if (listener_ != nullptr) {
        listener_->close();
        listener_->deleteLater();
        listener_ = nullptr;
    }
    ClosePendingRequests();
    if (tcp_ != nullptr) {
        disconnect(tcp_, nullptr, this, nullptr);
        if (!outgoing_.empty()) WriteOut(outgoing_);
        tcp_->flush();  // hand what is queued to the system before closing
        tcp_->abort();
        tcp_->deleteLater();
        tcp_ = nullptr;
    }
    if (udp_ != nullptr) {
        disconnect(udp_, nullptr, this, nullptr);
        udp_->close();
        udp_->deleteLater();
        udp_ = nullptr;
    }
    outgoing_.clear();
    heldDatagram_.clear();
    holdingDatagram_ = false;
}

void WinsockControl::ClosePendingRequests() {
    for (const intptr_t handle : pendingRequests_) ::close(static_cast<int>(handle));
    pendingRequests_.clear();
}

void WinsockControl::PostError(int number, const QString& description) {
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation, number, description] {
            DeliverError(generation, number, description);
        },
        Qt::QueuedConnection);
}

void WinsockControl::OnReadyRead() {
    // The socket says so only from the event loop, never inside a call of
    // ours, so the arrival is raised right here rather than a pass of the
    // loop later. One already on its way takes these bytes too.
    if (arrivalPosted_ || delivering_) {
        ScheduleArrival();
        return;
    }
    DeliverArrival(generation_);
}

void WinsockControl::ScheduleArrival() {
    if (arrivalPosted_) return;
    arrivalPosted_ = true;
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverArrival(generation); }, Qt::QueuedConnection);
}

int64_t WinsockControl::PendingBytes() {
    if (protocol_ == SocketProtocol::Udp) {
        if (!holdingDatagram_ && udp_ != nullptr) {
            // Always read, even when nothing seems pending: a notification that
            // carried only a socket error (an ICMP report of an earlier answer)
            // leaves Qt waiting for a read before it reports the next datagram.
            const QNetworkDatagram datagram = udp_->receiveDatagram(kMaxDatagramBytes);
            if (!datagram.isValid()) return -1;
            const QByteArray data = datagram.data();
            heldDatagram_.assign(data.constData(), static_cast<std::size_t>(data.size()));
            holdingDatagram_ = true;
            remoteHostIP_ = DottedIPv4(datagram.senderAddress());
            remotePort_ = datagram.senderPort();
        }
        return holdingDatagram_ ? static_cast<int64_t>(heldDatagram_.size()) : -1;
    }
    return tcp_ != nullptr ? tcp_->bytesAvailable() : 0;
}

void WinsockControl::RememberPeer() {
    if (tcp_ == nullptr) return;
    remoteHostIP_ = DottedIPv4(tcp_->peerAddress());
    remotePort_ = tcp_->peerPort();
}

void WinsockControl::DeliverConnectionRequest(uint64_t generation) {
    if (generation != generation_ || pendingRequests_.empty()) return;
    const intptr_t handle = pendingRequests_.front();
    pendingRequests_.pop_front();
    state_ = kSocketConnectionPending;
    emit ConnectionRequest(static_cast<int32_t>(handle));
    // Taken over through a duplicate, or refused: either way ours goes.
    ::close(static_cast<int>(handle));
    if (generation == generation_) state_ = kSocketListening;
}

void WinsockControl::DeliverConnected(uint64_t generation) {
    if (generation != generation_ || tcp_ == nullptr) return;
    tcp_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state_ = kSocketConnected;
    RememberPeer();
    emit ConnectEvent();
}

void WinsockControl::DeliverArrival(uint64_t generation) {
    if (generation != generation_) return;
    arrivalPosted_ = false;
    if (BytesToWrite() > kWriteBacklogBytes) {
        awaitingDrain_ = true;  // bytesWritten raises it once the peer reads
        return;
    }
    const int64_t pending = PendingBytes();
    // UDP raises an arrival for an empty datagram too; TCP only for bytes.
    const bool raise = protocol_ == SocketProtocol::Udp ? pending >= 0 : pending > 0;
    if (!raise) return;
    RaiseArrival(pending);
}

void WinsockControl::RaiseArrival(int64_t pending) {
    const bool outer = delivering_;
    delivering_ = true;
    emit DataArrival(static_cast<int32_t>(std::min<int64_t>(pending, INT32_MAX)));
    delivering_ = outer;
    if (outer) return;  // the outermost handler sends for all
    // The handler's answers leave now, in one write. Had it closed the
    // connection, they went out before the close; had it taken a new one,
    // they were meant for that.
    if (!outgoing_.empty() && tcp_ != nullptr && state_ == kSocketConnected) {
        const Packet answers = std::move(outgoing_);
        outgoing_.clear();
        WriteOut(answers);
    }
    outgoing_.clear();
}

void WinsockControl::DeliverPeerClosed(uint64_t generation) {
    if (generation != generation_ || tcp_ == nullptr) return;
    if (errorRaised_) return;
    // Bytes that came before the peer's close are handed out before the close.
    const int64_t pending = tcp_->bytesAvailable();
    if (pending > 0) {
        RaiseArrival(pending);
        if (generation != generation_ || tcp_ == nullptr) return;
        if (tcp_->bytesAvailable() < pending) {
            QMetaObject::invokeMethod(
                this, [this, generation] { DeliverPeerClosed(generation); },
                Qt::QueuedConnection);
            return;
        }
    }
    state_ = kSocketPeerClosing;
    emit CloseEvent();
}

void WinsockControl::DeliverError(uint64_t generation, int number, const QString& description) {
    if (generation != generation_ || errorRaised_) return;
    errorRaised_ = true;
    state_ = kSocketError;
    lastError_ = description;
    emit Error(number, description);
}

}  // namespace tarvik
