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
// the journal's too: never made non-blocking here). A pipe cannot take back
// part of a line, so after a cut the next write starts on a line of its own.
class DescriptorSink final : public LineSink {
public:
    DescriptorSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    SinkWrite Write(std::string_view bytes) override;
    const std::string& Name() const override { return name_; }

private:
    int fd_;
    std::string name_;
    bool cut_ = false;  // the last write ended inside a line
};

// Appends to a regular file. When the file has reached `maxBytes` (0: never,
// for a rotation done by others) and is still the one at the path, it is
// renamed to PATH.1 (one previous file kept) between two lines and a new one
// started; when someone else has moved it away, the path is opened again
// instead. A failed write is cut back to its last whole line.
class TraceFileSink final : public LineSink {
public:
    // Refuses anything but a regular file (a FIFO, a device, a folder, a
    // socket) without waiting on it: nullptr, with `error` saying why.
    static std::unique_ptr<TraceFileSink> Open(const std::string& path, uint64_t maxBytes,
                                               std::string& error);
    ~TraceFileSink() override;
    SinkWrite Write(std::string_view bytes) override;
    std::string Reopen() override;
    const std::string& Name() const override { return path_; }

private:
    TraceFileSink(std::string path, uint64_t maxBytes);
    // Empty, or why the path cannot be written.
    std::string OpenPath();
    std::string TurnOver();

    std::string path_;
    uint64_t maxBytes_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace tarvik
