#include "config/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <system_error>
#include <utility>

namespace tarvik {

namespace {

FileText Refused(std::string reason) {
    FileText result;
    result.reason = std::move(reason);
    return result;
}

std::string ReasonOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return "no such file";
        case EACCES:
        case EPERM: return "permission denied";
        case EISDIR: return "not a regular file";
        case ELOOP: return "too many symbolic links";
        case ENAMETOOLONG: return "name too long";
        case EMFILE:
        case ENFILE: return "too many open files";
        default: break;
    }
    std::string text = std::generic_category().message(error);
    if (!text.empty() && text.front() >= 'A' && text.front() <= 'Z') {
        text.front() = static_cast<char>(text.front() - 'A' + 'a');
    }
    return text;
}

std::string TooLarge(std::size_t limit) {
    constexpr std::size_t kKiB = 1024;
    constexpr std::size_t kMiB = kKiB * kKiB;
    if (limit >= kMiB && limit % kMiB == 0) {
        return "larger than " + std::to_string(limit / kMiB) + " MiB";
    }
    if (limit >= kKiB && limit % kKiB == 0) {
        return "larger than " + std::to_string(limit / kKiB) + " KiB";
    }
    return "larger than " + std::to_string(limit) + " bytes";
}

// Empty when `info` describes something that may be read.
std::string Refusal(const struct stat& info, std::size_t limit) {
    if (!S_ISREG(info.st_mode)) {
        return "not a regular file";
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        return TooLarge(limit);
    }
    return {};
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

FileText ReadSmallFile(const std::string& path, std::size_t limit) {
    // Looking first means a device or a pipe is never even opened.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return Refused(ReasonOf(errno));
    }
    if (std::string refusal = Refusal(info, limit); !refusal.empty()) {
        return Refused(std::move(refusal));
    }

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return Refused(ReasonOf(errno));
    }
    const Descriptor file(fd);
    // The path may have been pointed elsewhere since it was looked at.
    if (::fstat(file.Get(), &info) != 0) {
        return Refused(ReasonOf(errno));
    }
    if (std::string refusal = Refusal(info, limit); !refusal.empty()) {
        return Refused(std::move(refusal));
    }

    // One byte beyond the limit tells a file that grew, or one whose size
    // the system does not report (/proc), from one that fits.
    const std::size_t most = limit < std::numeric_limits<std::size_t>::max() ? limit + 1 : limit;
    constexpr std::size_t kFirstRead = 64 * 1024;
    FileText result;
    result.text.resize(std::min(most, static_cast<std::size_t>(info.st_size) + kFirstRead));
    std::size_t got = 0;
    for (;;) {
        if (got == result.text.size()) {
            if (got >= most) {
                break;
            }
            result.text.resize(std::min(most, got * 2));
        }
        const ssize_t n = ::read(file.Get(), result.text.data() + got, result.text.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Refused(ReasonOf(errno));
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got > limit) {
        return Refused(TooLarge(limit));
    }
    result.text.resize(got);
    result.ok = true;
    return result;
}

}  // namespace tarvik
