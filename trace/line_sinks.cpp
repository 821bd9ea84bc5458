#include "trace/line_sinks.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvik {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Someone else made the descriptor non-blocking: wait for room.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

int OpenForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
}

}  // namespace

bool DescriptorSink::Write(std::string_view bytes) { return WriteAll(fd_, bytes); }

std::unique_ptr<RotatingFileSink> RotatingFileSink::Open(const std::string& path, uint64_t maxBytes,
                                                         std::string& error) {
    const int fd = OpenForAppend(path);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<RotatingFileSink>(
        new RotatingFileSink(path, maxBytes, fd, static_cast<uint64_t>(info.st_size)));
}

RotatingFileSink::RotatingFileSink(std::string path, uint64_t maxBytes, int fd, uint64_t size)
    : path_(std::move(path)), maxBytes_(maxBytes), fd_(fd), size_(size) {}

RotatingFileSink::~RotatingFileSink() {
    if (fd_ >= 0) ::close(fd_);
}

bool RotatingFileSink::Write(std::string_view bytes) {
    // Whole lines only: the file turns over between two lines, never inside one.
    while (!bytes.empty()) {
        if (size_ >= maxBytes_ && !Rotate()) return false;
        const uint64_t room = maxBytes_ > size_ ? maxBytes_ - size_ : 0;
        std::size_t take = bytes.size();
        if (take > room) {
            // Up to the end of the line that reaches the limit.
            const std::size_t end = bytes.find('\n', room > 0 ? room - 1 : 0);
            take = end == std::string_view::npos ? bytes.size() : end + 1;
        }
        if (!WriteAll(fd_, bytes.substr(0, take))) return false;
        size_ += take;
        bytes.remove_prefix(take);
    }
    return true;
}

bool RotatingFileSink::Rotate() {
    ::close(fd_);
    fd_ = -1;
    const std::string previous = path_ + ".1";
    std::rename(path_.c_str(), previous.c_str());
    fd_ = OpenForAppend(path_);
    size_ = 0;
    return fd_ >= 0;
}

}  // namespace tarvik
