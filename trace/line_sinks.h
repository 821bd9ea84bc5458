// Where a LineWriter's thread writes: a descriptor it does not own
// (standard output), or a trace file that starts anew at a size limit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "trace/line_writer.h"

namespace tarvik {

// Writes to `fd` as it is (standard output is the shell's, the terminal's or
// the journal's too: never made non-blocking here).
class DescriptorSink final : public LineSink {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    bool Write(std::string_view bytes) override;

private:
    int fd_;
};

// Appends to a file; when the file has reached `maxBytes`, it is renamed to
// PATH.1 (one previous file kept) between two lines and a new one started.
class RotatingFileSink final : public LineSink {
public:
    // nullptr, with `error` saying why, when the file cannot be opened.
    static std::unique_ptr<RotatingFileSink> Open(const std::string& path, uint64_t maxBytes,
                                                  std::string& error);
    ~RotatingFileSink() override;
    bool Write(std::string_view bytes) override;

private:
    RotatingFileSink(std::string path, uint64_t maxBytes, int fd, uint64_t size);
    bool Rotate();

    std::string path_;
    uint64_t maxBytes_;
    int fd_;
    uint64_t size_;
};

}  // namespace tarvik
