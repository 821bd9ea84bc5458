#include "transport/tcp_connection.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>

#include "transport/raw_socket.h"
#include "transport/socket_addresses.h"
#include "transport/socket_limits.h"

namespace tarvik {
namespace {

constexpr qint64 kReadBufferBytes = 4 * static_cast<qint64>(kMaxGetDataBytes);

}  // namespace

TcpConnection::TcpConnection(QObject* parent) : QObject(parent) {}

TcpConnection::~TcpConnection() { DropEverything(); }

bool TcpConnection::Accept(intptr_t descriptor) {
    if (state_ != SocketState::Closed) Close();
    if (descriptor < 0) return false;
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        CloseHandle(descriptor);
        return false;
    }
    NewGeneration();
    AdoptSocket(socket);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state_ = SocketState::Connected;
    ++serial_;
    RememberPeer();
    return true;
}

bool TcpConnection::Connect() {
    if (state_ != SocketState::Closed) return false;
    NewGeneration();
    if (remoteHost_.empty() || remotePort_ <= 0 || remotePort_ > 65535) {
        state_ = SocketState::Error;
        PostError({SocketError::What::NoRemote, "no remote host or port to connect to"});
        return true;
    }
    const QString host = QString::fromStdString(remoteHost_);
    QHostAddress literal;
    if (HostLookup::IsIPv4Literal(host, literal)) {
        StartConnecting(literal);
        return true;
    }
    state_ = SocketState::ResolvingHost;
    const uint64_t generation = generation_;
    lookup_.Start(
        host, this, [this, generation](const QHostAddress& address, const QString& failure) {
            if (generation != generation_) return;
            if (address.isNull()) {
                DeliverError(generation, {SocketError::What::HostNotFound, failure.toStdString()});
                return;
            }
            state_ = SocketState::HostResolved;
            StartConnecting(address);
        });
    return true;
}

void TcpConnection::StartConnecting(const QHostAddress& address) {
    auto* socket = new QTcpSocket(this);
    AdoptSocket(socket);
    state_ = SocketState::Connecting;
    const uint64_t generation = generation_;
    connect(socket, &QTcpSocket::connected, this, [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { DeliverConnected(generation); }, Qt::QueuedConnection);
    });
    socket->connectToHost(address, static_cast<quint16>(remotePort_));
}

void TcpConnection::AdoptSocket(QTcpSocket* socket) {
    tcp_ = socket;
    // Bytes a flooding peer sends wait in the system's buffers, and TCP slows
    // the peer down, instead of piling up here faster than they are taken.
    socket->setReadBufferSize(kReadBufferBytes);
    const uint64_t generation = generation_;
    // Qt may signal from inside our own calls; every signal only posts an
    // event, which the event loop delivers later if the connection is still
    // the current one.
    connect(socket, &QTcpSocket::readyRead, this, &TcpConnection::OnReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (BytesToWrite() > kWriteBacklogBytes) return;
        emit WriteBacklogDrained();
        if (awaitingDrain_) {
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
                const SocketError failure{state_ == SocketState::Connected
                                              ? SocketError::What::ConnectionLost
                                              : SocketError::What::ConnectFailed,
                                          socket->errorString().toStdString()};
                QMetaObject::invokeMethod(
                    this, [this, generation, failure] { DeliverError(generation, failure); },
                    Qt::QueuedConnection);
            });
}

bool TcpConnection::SendData(std::string_view data) {
    if (state_ != SocketState::Connected || tcp_ == nullptr) return false;
    // The answers to one arrival go out together when its handler is done:
    // a batch of requests gets one write, not one small write per answer.
    if (delivering_) {
        outgoing_ += data;
        return true;
    }
    return WriteOut(data);
}

bool TcpConnection::WriteOut(std::string_view bytes) {
    std::size_t sent = 0;
    // While the socket holds nothing back, the bytes go straight to the
    // system, without arming and disarming its write notifier for every
    // answer (each costs the loop a wake-up). Whatever the system does not
    // take the socket queues behind, and writes in order once the peer reads.
    const int fd = static_cast<int>(tcp_->socketDescriptor());
    if (fd >= 0 && tcp_->bytesToWrite() == 0)
        sent = SendWithoutBlocking(fd, bytes.data(), bytes.size());
    if (sent == bytes.size()) return true;
    const qint64 rest = static_cast<qint64>(bytes.size() - sent);
    // A write the socket refuses shows up as its error event.
    return tcp_->write(bytes.data() + sent, rest) == rest;
}

int64_t TcpConnection::BytesToWrite() const {
    return (tcp_ != nullptr ? tcp_->bytesToWrite() : 0) + static_cast<int64_t>(outgoing_.size());
}

std::string_view TcpConnection::GetData() {
    if (tcp_ == nullptr) return {};
    const qint64 take = std::min<qint64>(tcp_->bytesAvailable(), kMaxGetDataBytes);
    // One buffer for every arrival: it grows once to the largest taken.
    received_.resize(static_cast<std::size_t>(std::max<qint64>(take, 0)));
    const qint64 got = take > 0 ? tcp_->read(received_.data(), take) : 0;
    received_.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
    if (tcp_->bytesAvailable() > 0) ScheduleArrival();
    return received_;
}

void TcpConnection::Close() {
    DropEverything();
    state_ = SocketState::Closed;
}

void TcpConnection::PauseReading(bool paused) {
    paused_ = paused;
    if (paused) return;
    if (heldArrival_) {
        heldArrival_ = false;
        ScheduleArrival();
    }
    if (closeHeld_) {
        closeHeld_ = false;
        const uint64_t generation = generation_;
        QMetaObject::invokeMethod(
            this, [this, generation] { DeliverPeerClosed(generation); }, Qt::QueuedConnection);
    }
}

void TcpConnection::NewGeneration() {
    ++generation_;
    arrivalPosted_ = false;
    errorRaised_ = false;
    awaitingDrain_ = false;
    heldArrival_ = false;
    closeHeld_ = false;
}

void TcpConnection::DropEverything() {
    NewGeneration();
    lookup_.Abort();
    if (tcp_ != nullptr) {
        disconnect(tcp_, nullptr, this, nullptr);
        if (!outgoing_.empty()) WriteOut(outgoing_);
        tcp_->flush();  // hand what is queued to the system before closing
        tcp_->abort();
        tcp_->deleteLater();
        tcp_ = nullptr;
    }
    outgoing_.clear();
}

void TcpConnection::PostError(SocketError error) {
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation, error] { DeliverError(generation, error); }, Qt::QueuedConnection);
}

void TcpConnection::OnReadyRead() {
    // The socket says so only from the event loop, never inside a call of
    // ours, so the arrival is raised right here rather than a pass of the
    // loop later. One already on its way takes these bytes too.
    if (arrivalPosted_ || delivering_) {
        ScheduleArrival();
        return;
    }
    DeliverArrival(generation_);
}

void TcpConnection::ScheduleArrival() {
    if (arrivalPosted_) return;
    arrivalPosted_ = true;
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverArrival(generation); }, Qt::QueuedConnection);
}

void TcpConnection::RememberPeer() {
    if (tcp_ == nullptr) return;
    remoteHostIP_ = DottedIPv4(tcp_->peerAddress());
    remotePort_ = tcp_->peerPort();
}

void TcpConnection::DeliverConnected(uint64_t generation) {
    if (generation != generation_ || tcp_ == nullptr) return;
    tcp_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state_ = SocketState::Connected;
    ++serial_;
    RememberPeer();
    emit ConnectEvent();
}

void TcpConnection::DeliverArrival(uint64_t generation) {
    if (generation != generation_) return;
    arrivalPosted_ = false;
    if (paused_) {
        heldArrival_ = true;  // PauseReading(false) raises it
        return;
    }
    if (BytesToWrite() > kWriteBacklogBytes) {
        awaitingDrain_ = true;  // bytesWritten raises it once the peer reads
        return;
    }
    const int64_t pending = tcp_ != nullptr ? tcp_->bytesAvailable() : 0;
    if (pending > 0) RaiseArrival(pending);
}

void TcpConnection::RaiseArrival(int64_t pending) {
    Gathered(
        [&] { emit DataArrival(static_cast<int32_t>(std::min<int64_t>(pending, INT32_MAX))); });
}

void TcpConnection::Gathered(const std::function<void()>& work) {
    const bool outer = delivering_;
    delivering_ = true;
    work();
    delivering_ = outer;
    if (!outer) WriteGathered();  // the outermost sends for all
}

void TcpConnection::WriteGathered() {
    // The answers leave now, in one write. Had the work closed the
    // connection, they went out before the close; had it taken a new one,
    // they were meant for that.
    if (!outgoing_.empty() && tcp_ != nullptr && state_ == SocketState::Connected) {
        const Packet answers = std::move(outgoing_);
        outgoing_.clear();
        WriteOut(answers);
    }
    outgoing_.clear();
}

void TcpConnection::DeliverPeerClosed(uint64_t generation) {
    if (generation != generation_ || tcp_ == nullptr) return;
    if (errorRaised_) return;
    // Bytes that came before the peer's close are handed out before the
    // close, unless arrivals are held: then the close waits for them.
    const int64_t pending = tcp_->bytesAvailable();
    if (pending > 0 && paused_) {
        closeHeld_ = true;  // PauseReading(false) delivers it
        return;
    }
    if (pending > 0) {
        RaiseArrival(pending);
        if (generation != generation_ || tcp_ == nullptr) return;
        if (tcp_->bytesAvailable() < pending) {
            QMetaObject::invokeMethod(
                this, [this, generation] { DeliverPeerClosed(generation); }, Qt::QueuedConnection);
            return;
        }
    }
    state_ = SocketState::PeerClosing;
    emit CloseEvent();
}

void TcpConnection::DeliverError(uint64_t generation, const SocketError& error) {
    if (generation != generation_ || errorRaised_) return;
    errorRaised_ = true;
    state_ = SocketState::Error;
    emit Failed(error);
}

}  // namespace tarvik
