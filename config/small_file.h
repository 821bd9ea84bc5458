// The one way the program reads a file it is given: a settings file, a
// registers file. Whatever sits at the path — a pipe, a device, a folder, a
// huge file — start-up neither blocks nor fills memory on it.
#pragma once

#include <cstddef>
#include <string>

namespace tarvik {

inline constexpr std::size_t kSmallFileLimit = std::size_t{1} << 20;  // 1 MiB

struct FileText {
    bool ok = false;
    std::string text;    // the whole file, byte for byte, when ok
    std::string reason;  // why not, when not ok: "no such file", "not a regular file",
                         // "larger than 1 MiB", "permission denied", ...
};

// Reads the file at `path` when it is a regular file after following links
// and holds at most `limit` bytes. Opening never waits (a pipe swapped in
// between the check and the open is refused, not waited on), and no more
// than limit + 1 bytes are ever read, so a file that grows while being read
// is refused too.
FileText ReadSmallFile(const std::string& path, std::size_t limit = kSmallFileLimit);

}  // namespace tarvik
