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

inline constexpr char kNotRegular[] = "not a regular file";

std::string Reason(int error) {
    return error == 0 ? std::string("short write") : std::string(std::strerror(error));
}

// Bytes written before a failure, and the failure's reason (empty: all of them).
struct Written {
    std::size_t bytes = 0;
    std::string error;
};

Written WriteAll(int fd, std::string_view bytes) {
    Written done;
    while (done.bytes < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done.bytes, bytes.size() - done.bytes);
        if (n > 0) {
            done.bytes += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Someone else made the descriptor non-blocking: wait for room.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 100);
        } else {
            done.error = Reason(n < 0 ? errno : 0);
            break;
        }
    }
    return done;
}

// Up to the end of the last whole line within the first `written` bytes.
std::size_t WholeLines(std::string_view bytes, std::size_t written) {
    const std::size_t end = bytes.substr(0, written).rfind('\n');
    return end == std::string_view::npos ? 0 : end + 1;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

SinkWrite DescriptorSink::Write(std::string_view bytes) {
    if (cut_) {
        const Written end = WriteAll(fd_, "\n");
        if (!end.error.empty()) return {0, end.error};
        cut_ = false;
    }
    const Written done = WriteAll(fd_, bytes);
    if (done.error.empty()) return {done.bytes, {}};
    const std::size_t kept = WholeLines(bytes, done.bytes);
    cut_ = kept < done.bytes;
    return {kept, done.error};
}

std::unique_ptr<TraceFileSink> TraceFileSink::Open(const std::string& path, uint64_t maxBytes,
                                                   std::string& error) {
    std::unique_ptr<TraceFileSink> sink(new TraceFileSink(path, maxBytes));
    error = sink->OpenPath();
    if (!error.empty()) return nullptr;
    return sink;
}

TraceFileSink::TraceFileSink(std::string path, uint64_t maxBytes)
    : path_(std::move(path)), maxBytes_(maxBytes) {}

TraceFileSink::~TraceFileSink() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TraceFileSink::OpenPath() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    // Looking first means a FIFO or a device is never even opened; opening
    // without waiting refuses a FIFO swapped in meanwhile instead of hanging.
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return kNotRegular;
    const int fd = ::open(path_.c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return Reason(errno);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kNotRegular;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(info.st_size);
    return {};
}

std::string TraceFileSink::Reopen() { return OpenPath(); }

std::string TraceFileSink::TurnOver() {
    struct stat held {};
    struct stat atPath {};
    const bool ours =
        ::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &atPath) == 0 && SameFile(held, atPath);
    if (ours && static_cast<uint64_t>(held.st_size) < maxBytes_) {
        // Cut short by someone else (copytruncate): not full yet.
        size_ = static_cast<uint64_t>(held.st_size);
        return {};
    }
    if (!ours) return OpenPath();  // moved or deleted by someone else: never rename over theirs
    ::close(fd_);
    fd_ = -1;
    const std::string previous = path_ + ".1";
    const bool renamed = std::rename(path_.c_str(), previous.c_str()) == 0;
    std::string error = OpenPath();
    // Not renamed (no right to): go on in the full file rather than loop on it.
    if (!renamed && error.empty()) size_ = 0;
    return error;
}

SinkWrite TraceFileSink::Write(std::string_view bytes) {
    SinkWrite result;
    if (fd_ < 0) {
        result.error = OpenPath();
        if (!result.error.empty()) return result;
    }
    // Whole lines only: the file turns over between two lines, never inside one.
    while (!bytes.empty()) {
        if (maxBytes_ > 0 && size_ >= maxBytes_) {
            result.error = TurnOver();
            if (!result.error.empty()) return result;
        }
        const uint64_t room = maxBytes_ > size_ ? maxBytes_ - size_ : 0;
        std::size_t take = bytes.size();
        if (maxBytes_ > 0 && take > room) {
            // Up to the end of the line that reaches the limit.
            const std::size_t end = bytes.find('\n', room > 0 ? room - 1 : 0);
            take = end == std::string_view::npos ? bytes.size() : end + 1;
        }
        const std::string_view chunk = bytes.substr(0, take);
        const Written done = WriteAll(fd_, chunk);
        if (!done.error.empty()) {
            const std::size_t kept = WholeLines(chunk, done.bytes);
            if (kept < done.bytes) {
                // Take the cut line back from the end, wherever the end is now.
                struct stat info {};
                const auto cut = static_cast<off_t>(done.bytes - kept);
                if (::fstat(fd_, &info) == 0 && info.st_size >= cut) {
                    [[maybe_unused]] const int ignored = ::ftruncate(fd_, info.st_size - cut);
                }
            }
            size_ += kept;
            result.kept += kept;
            result.error = done.error;
            return result;
        }
        size_ += take;
        result.kept += take;
        bytes.remove_prefix(take);
    }
    return result;
}

}  // namespace tarvik
