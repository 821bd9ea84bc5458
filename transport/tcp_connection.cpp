#include "transport/tcp_connection.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "transport/descriptor_notifier.h"
#include "transport/raw_socket.h"
#include "transport/socket_limits.h"

namespace tarvik {
namespace {

// The gathered answers of an ordinary arrival fit many times over.
constexpr std::size_t kKeptGatherBytes = 256 * 1024;

}  // namespace

TcpConnection::TcpConnection(QObject* parent)
    : QObject(parent), inbox_(new char[kMaxGetDataBytes]), handedOut_(new char[kMaxGetDataBytes]) {}

TcpConnection::~TcpConnection() { DropEverything(); }

bool TcpConnection::Accept(intptr_t descriptor) {
    if (state_ != SocketState::Closed) Close();
    if (descriptor < 0) return false;
    const int fd = static_cast<int>(descriptor);
    if (!PrepareStream(fd)) {
        CloseHandle(descriptor);
        return false;
    }
    NewGeneration();
    AdoptDescriptor(fd);
    state_ = SocketState::Connected;
    ++serial_;
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
    // Qt connects (and reports why it could not); once connected, the
    // descriptor is ours and the data path the same as an accepted one's.
    auto* socket = new QTcpSocket(this);
    connecting_ = socket;
    state_ = SocketState::Connecting;
    const uint64_t generation = generation_;
    connect(socket, &QTcpSocket::connected, this, [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { DeliverConnected(generation); }, Qt::QueuedConnection);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, generation, socket] {
        const SocketError failure{SocketError::What::ConnectFailed,
                                  socket->errorString().toStdString()};
        QMetaObject::invokeMethod(
            this, [this, generation, failure] { DeliverError(generation, failure); },
            Qt::QueuedConnection);
    });
    socket->connectToHost(address, static_cast<quint16>(remotePort_));
}

void TcpConnection::AdoptDescriptor(int fd) {
    fd_ = fd;
    inboxSize_ = 0;
    backlog_.clear();
    backlogSent_ = 0;
    readable_ = new DescriptorNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this,
                                       [this] { OnReadable(); });
    writable_ = new DescriptorNotifier(static_cast<qintptr>(fd), QSocketNotifier::Write, this,
                                       [this] { OnWritable(); });
    writable_->setEnabled(false);
    if (!PeerOf(fd, remoteHostIP_, remotePort_)) remoteHostIP_.clear();
    UpdateReading();
}

bool TcpConnection::SendData(std::string_view data) {
    if (state_ != SocketState::Connected || fd_ < 0) return false;
    // The answers to one arrival go out together when its handler is done:
    // a batch of requests gets one write, not one small write per answer.
    if (delivering_) {
        outgoing_ += data;
        return true;
    }
    return WriteOut(data);
}

bool TcpConnection::WriteOut(std::string_view bytes) {
    // While nothing waits, the bytes go straight to the system; what it does
    // not take waits behind, in order, until the socket is writable again.
    StreamIo io;
    if (backlog_.size() == backlogSent_) io = SendSome(fd_, bytes.data(), bytes.size());
    if (io.error != 0) {
        // A broken pipe or reset is the peer's close, anything else a lost
        // connection; either reaches the program from the event loop.
        if (io.error == EPIPE || io.error == ECONNRESET) {
            PostPeerClosed();
        } else {
            PostError({SocketError::What::ConnectionLost, ErrorText(io.error)});
        }
        return false;
    }
    if (io.bytes == bytes.size()) return true;
    backlog_.append(bytes.substr(io.bytes));
    writable_->setEnabled(true);
    UpdateReading();
    return true;
}

void TcpConnection::OnWritable() {
    if (fd_ < 0) return;
    const StreamIo io =
        SendSome(fd_, backlog_.data() + backlogSent_, backlog_.size() - backlogSent_);
    backlogSent_ += io.bytes;
    if (io.error != 0) {
        writable_->setEnabled(false);
        if (io.error == EPIPE || io.error == ECONNRESET) {
            DeliverPeerClosed(generation_);
        } else {
            DeliverError(generation_, {SocketError::What::ConnectionLost, ErrorText(io.error)});
        }
        return;
    }
    if (backlogSent_ == backlog_.size()) {
        backlog_.clear();
        backlogSent_ = 0;
        writable_->setEnabled(false);
    } else if (backlogSent_ >= backlog_.size() / 2) {
        backlog_.erase(0, backlogSent_);  // keeps the backlog from creeping
        backlogSent_ = 0;
    }
    if (BytesToWrite() > kWriteBacklogBytes) return;
    const uint64_t generation = generation_;
    emit WriteBacklogDrained();
    if (generation != generation_) return;
    UpdateReading();
    if (inboxSize_ > 0) ScheduleArrival();
}

int64_t TcpConnection::BytesToWrite() const {
    return static_cast<int64_t>(backlog_.size() - backlogSent_) +
           static_cast<int64_t>(outgoing_.size());
}

bool TcpConnection::ReadingHeldBack() const {
    return paused_ || BytesToWrite() > kWriteBacklogBytes;
}

void TcpConnection::UpdateReading() {
    // While held back, the master's bytes wait in the system's buffers and
    // TCP slows the master down, instead of piling up here.
    if (readable_ != nullptr) {
        readable_->setEnabled(!ReadingHeldBack() && inboxSize_ < kMaxGetDataBytes);
    }
}

std::string_view TcpConnection::GetData() {
    if (fd_ < 0) return {};
    std::swap(inbox_, handedOut_);
    const std::size_t taken = inboxSize_;
    inboxSize_ = 0;
    UpdateReading();  // a full inbox had stopped reading
    return {handedOut_.get(), taken};
}

void TcpConnection::Close() {
    DropEverything();
    state_ = SocketState::Closed;
}

void TcpConnection::PauseReading(bool paused) {
    paused_ = paused;
    UpdateReading();
    // Bytes received before the pause are raised now; the rest come as the
    // socket turns readable.
    if (!paused && inboxSize_ > 0) ScheduleArrival();
}

void TcpConnection::NewGeneration() {
    ++generation_;
    arrivalPosted_ = false;
    errorRaised_ = false;
}

void TcpConnection::DropEverything() {
    NewGeneration();
    lookup_.Abort();
    if (connecting_ != nullptr) {
        disconnect(connecting_, nullptr, this, nullptr);
        connecting_->abort();
        connecting_->deleteLater();
        connecting_ = nullptr;
    }
    if (fd_ >= 0) {
        // What is queued is handed to the system before closing, as far as
        // it takes it at once.
        if (!outgoing_.empty()) WriteOut(outgoing_);
        if (backlogSent_ < backlog_.size()) {
            SendSome(fd_, backlog_.data() + backlogSent_, backlog_.size() - backlogSent_);
        }
        // The notifiers may be the ones whose event is running.
        for (DescriptorNotifier* notifier : {readable_, writable_}) {
            notifier->Forget();
            notifier->deleteLater();
        }
        readable_ = writable_ = nullptr;
        ::close(fd_);
        fd_ = -1;
    }
    inboxSize_ = 0;
    backlog_.clear();
    backlogSent_ = 0;
    outgoing_.clear();
}

void TcpConnection::PostError(SocketError error) {
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation, error] { DeliverError(generation, error); }, Qt::QueuedConnection);
}

void TcpConnection::PostPeerClosed() {
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverPeerClosed(generation); }, Qt::QueuedConnection);
}

void TcpConnection::OnReadable() {
    if (fd_ < 0 || ReadingHeldBack()) {
        UpdateReading();
        return;
    }
    if (inboxSize_ == kMaxGetDataBytes) {
        // Nothing taken yet: reading waits for GetData instead of spinning.
        readable_->setEnabled(false);
        ScheduleArrival();
        return;
    }
    // One recv per readable event: a full buffer is read on from the next
    // pass, when the socket says it is still readable.
    const StreamIo io = ReceiveOnce(fd_, inbox_.get() + inboxSize_, kMaxGetDataBytes - inboxSize_);
    inboxSize_ += io.bytes;
    if (io.error != 0) {
        readable_->setEnabled(false);
        DeliverError(generation_, {SocketError::What::ConnectionLost, ErrorText(io.error)});
        return;
    }
    if (io.peerClosed) {
        readable_->setEnabled(false);
        DeliverPeerClosed(generation_);
        return;
    }
    if (inboxSize_ == 0) return;
    // The socket says so only from the event loop, never inside a call of
    // ours, so the arrival is raised right here. One on its way takes these
    // bytes too.
    if (arrivalPosted_ || delivering_) {
        ScheduleArrival();
        return;
    }
    RaiseArrival();
}

void TcpConnection::ScheduleArrival() {
    if (arrivalPosted_) return;
    arrivalPosted_ = true;
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { DeliverArrival(generation); }, Qt::QueuedConnection);
}

void TcpConnection::DeliverConnected(uint64_t generation) {
    if (generation != generation_ || connecting_ == nullptr) return;
    const int fd = ::dup(static_cast<int>(connecting_->socketDescriptor()));
    const int dupError = errno;
    disconnect(connecting_, nullptr, this, nullptr);
    connecting_->abort();  // closes Qt's descriptor only: the connection lives on in ours
    connecting_->deleteLater();
    connecting_ = nullptr;
    if (fd < 0 || !PrepareStream(fd)) {
        CloseHandle(fd);
        DeliverError(generation, {SocketError::What::ConnectFailed, ErrorText(dupError)});
        return;
    }
    AdoptDescriptor(fd);
    state_ = SocketState::Connected;
    ++serial_;
    emit ConnectEvent();
}

void TcpConnection::DeliverArrival(uint64_t generation) {
    if (generation != generation_) return;
    arrivalPosted_ = false;
    // Held back: PauseReading(false) or the drained backlog raises it.
    if (ReadingHeldBack() || inboxSize_ == 0) return;
    RaiseArrival();
}

void TcpConnection::RaiseArrival() {
    if (!arrival_) {
        inboxSize_ = 0;  // nobody takes them: dropped, not raised for ever
        return;
    }
    Gathered(arrival_);
    // Bytes the handler left are raised again on the next pass.
    if (inboxSize_ > 0 && fd_ >= 0) ScheduleArrival();
}

void TcpConnection::WriteGathered() {
    // The answers leave now, in one write. Had the work closed the
    // connection, they went out before the close; had it taken a new one,
    // they were meant for that.
    // The two buffers take turns, so neither is allocated anew per arrival;
    // one that a release slice made large is let go.
    sending_.clear();
    sending_.swap(outgoing_);
    if (!sending_.empty() && fd_ >= 0 && state_ == SocketState::Connected) WriteOut(sending_);
    if (sending_.capacity() > kKeptGatherBytes) Packet().swap(sending_);
}

void TcpConnection::DeliverPeerClosed(uint64_t generation) {
    if (generation != generation_ || fd_ < 0 || errorRaised_) return;
    // Bytes that came before the peer's close are handed out before it; a
    // held inbox keeps the close back until it is taken.
    if (inboxSize_ > 0) {
        if (!ReadingHeldBack()) RaiseArrival();
        if (generation != generation_ || fd_ < 0) return;
        if (inboxSize_ > 0 || ReadingHeldBack()) {
            // Read again once resumed: the socket still says end of stream.
            UpdateReading();
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
