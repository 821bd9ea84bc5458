#include "bench/release/release_master.h"

#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "testkit/loopback.h"
#include "testkit/mbap_framer.h"
#include "testkit/request_frames.h"

namespace tarvik::bench {
namespace {

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// About a MiB of requests per send: the program reads while they come.
constexpr uint64_t kRequestsPerPiece = (std::size_t{1} << 20) / kRequestBytes;

}  // namespace

std::string ReleaseRequests(uint64_t first, uint64_t count) {
    std::string out;
    out.reserve(count * kRequestBytes);
    for (uint64_t i = first; i < first + count; ++i)
        out += testing::ReadRequest(static_cast<int>(i & 0xFFFF), 3, 0, kReleaseQuantity);
    return out;
}

std::string ExpectedAnswer(uint64_t index, const std::vector<uint16_t>& registers) {
    Packet pdu{'\x03', static_cast<char>(2 * kReleaseQuantity)};
    for (int i = 0; i < kReleaseQuantity; ++i)
        AppendWord(pdu, registers.at(static_cast<std::size_t>(i)));
    return testing::Frame(static_cast<int>(index & 0xFFFF), 1, pdu);
}

ReleaseMaster::~ReleaseMaster() {
    stopReading_ = true;
    if (sender_.joinable()) {
        // A sender blocked on a program that stopped reading is freed by the shutdown.
        if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
        sender_.join();
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) ::close(fd_);
}

bool ReleaseMaster::Connect(int port, std::string& error) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const sockaddr_in address = testing::LoopbackAddress(port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = std::string("connect: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void ReleaseMaster::StartSending(uint64_t first, uint64_t count) {
    sent_ = false;
    sendFailed_ = false;
    if (sender_.joinable()) sender_.join();
    sender_ = std::thread([this, first, count] {
        for (uint64_t at = first; at < first + count; at += kRequestsPerPiece) {
            const std::string piece =
                ReleaseRequests(at, std::min(kRequestsPerPiece, first + count - at));
            if (!SendAll(fd_, piece.data(), piece.size())) {
                sendFailed_ = true;
                break;
            }
        }
        sent_ = true;
    });
}

void ReleaseMaster::StartReading(uint64_t total, std::vector<uint16_t> registers,
                                 std::chrono::milliseconds limit) {
    // Short waits, so a stop or the limit is seen while nothing comes.
    const timeval wait{0, 100 * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    reader_ = std::thread([this, total, registers = std::move(registers), limit]() mutable {
        Read(total, std::move(registers), limit);
        readDone_ = true;
    });
}

void ReleaseMaster::Read(uint64_t total, std::vector<uint16_t> registers,
                         std::chrono::milliseconds limit) {
    const std::string expected = ExpectedAnswer(0, registers);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<char> buffer(std::size_t{1} << 20);
    testing::MbapFramer framer;
    uint64_t index = 0;
    std::chrono::steady_clock::time_point quietUntil{};

    while (!stopReading_) {
        const auto now = std::chrono::steady_clock::now();
        if (index >= total) {
            // Everything came: listen a little longer for anything more.
            if (quietUntil == std::chrono::steady_clock::time_point{})
                quietUntil = now + std::chrono::milliseconds(300);
            if (now >= quietUntil) break;
        } else if (now >= deadline) {
            break;
        }
        const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (got <= 0) break;  // closed, or failed
        if (index >= total) {
            figures_.extraBytes += static_cast<uint64_t>(got);
            continue;
        }
        figures_.lastByte = std::chrono::steady_clock::now();
        framer.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));

        std::string_view frame;
        testing::MbapFramer::Step step = testing::MbapFramer::Step::NeedMore;
        while (index < total && (step = framer.Next(frame)) == testing::MbapFramer::Step::Frame) {
            const int id = testing::WordAt(frame, 0);
            const bool right = frame.size() == expected.size() &&
                               static_cast<uint64_t>(id) == (index & 0xFFFF) &&
                               frame.substr(2) == std::string_view(expected).substr(2);
            if (!right && figures_.wrong++ == 0) {
                figures_.firstFault =
                    "answer " + std::to_string(index) + ": id " + std::to_string(id) + ", " +
                    std::to_string(frame.size()) + " bytes, function " +
                    std::to_string(frame.size() > 7 ? static_cast<unsigned char>(frame[7]) : 0);
            }
            ++index;
            answered_.store(index, std::memory_order_relaxed);
        }
        if (step == testing::MbapFramer::Step::BadLength) {
            // Nothing after a length field below 2 can be cut any more.
            if (figures_.wrong++ == 0)
                figures_.firstFault = "answer " + std::to_string(index) + ": length field below 2";
            break;
        }
        if (index >= total) {
            figures_.extraBytes += framer.Buffered();
            framer.Reset();
        }
    }
    figures_.answered = index;
}

ReadFigures ReleaseMaster::FinishReading() {
    // A reader that has everything is let finish listening for extra bytes.
    if (!readDone_) stopReading_ = true;
    if (reader_.joinable()) reader_.join();
    return figures_;
}

bool ReleaseMaster::NothingArrived() const {
    char byte = 0;
    return ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 &&
           (errno == EAGAIN || errno == EWOULDBLOCK);
}

}  // namespace tarvik::bench
