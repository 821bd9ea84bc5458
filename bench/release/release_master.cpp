#include "bench/release/release_master.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvik::bench {
namespace {

void PutWord(std::string& out, unsigned value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

unsigned Word(const char* at) {
    return (static_cast<unsigned>(static_cast<unsigned char>(at[0])) << 8) |
           static_cast<unsigned char>(at[1]);
}

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
    for (uint64_t i = first; i < first + count; ++i) {
        PutWord(out, static_cast<unsigned>(i & 0xFFFF));
        PutWord(out, 0);  // protocol
        PutWord(out, 6);  // unit, function, start, quantity
        out += '\x01';
        out += '\x03';
        PutWord(out, 0);
        PutWord(out, kReleaseQuantity);
    }
    return out;
}

std::string ExpectedAnswer(uint64_t index, const std::vector<uint16_t>& registers) {
    std::string out;
    PutWord(out, static_cast<unsigned>(index & 0xFFFF));
    PutWord(out, 0);
    PutWord(out, 3 + 2 * kReleaseQuantity);
    out += '\x01';
    out += '\x03';
    out += static_cast<char>(2 * kReleaseQuantity);
    for (int i = 0; i < kReleaseQuantity; ++i)
        PutWord(out, registers.at(static_cast<std::size_t>(i)));
    return out;
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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
    std::size_t filled = 0;
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
        const ssize_t got = ::recv(fd_, buffer.data() + filled, buffer.size() - filled, 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (got <= 0) break;  // closed, or failed
        if (index >= total) {
            figures_.extraBytes += static_cast<uint64_t>(got);
            continue;
        }
        figures_.lastByte = std::chrono::steady_clock::now();
        filled += static_cast<std::size_t>(got);

        std::size_t at = 0;
        while (filled - at >= 6 && index < total) {
            const std::size_t size = 6 + Word(buffer.data() + at + 4);
            if (filled - at < size) break;
            const char* frame = buffer.data() + at;
            const bool right = size == expected.size() && Word(frame) == (index & 0xFFFF) &&
                               std::memcmp(frame + 2, expected.data() + 2, size - 2) == 0;
            if (!right && figures_.wrong++ == 0) {
                figures_.firstFault =
                    "answer " + std::to_string(index) + ": id " + std::to_string(Word(frame)) +
                    ", " + std::to_string(size) + " bytes, function " +
                    std::to_string(size > 7 ? static_cast<unsigned char>(frame[7]) : 0);
            }
            at += size;
            ++index;
            answered_.store(index, std::memory_order_relaxed);
        }
        if (index >= total) {
            figures_.extraBytes += filled - at;
            filled = 0;
        } else {
            std::memmove(buffer.data(), buffer.data() + at, filled - at);
            filled -= at;
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
