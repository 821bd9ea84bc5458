// The program's settings file and its two readers: single keys, and the
// lines of a list section.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "config/line_splitter.h"

namespace tarvik {

inline constexpr std::string_view kSettingsFileName = "TarvikSlave.ini";

// Folder of the program file at `executablePath`, ending in "/" (a root
// folder is not given a second one). A bare file name gives "./".
std::string AppFolderOf(std::string_view executablePath);

// Settings files are always looked up in the program's folder, never in the
// current directory.
class SettingsFile {
public:
    explicit SettingsFile(std::string appFolder) : appFolder_(std::move(appFolder)) {}

    const std::string& AppFolder() const { return appFolder_; }

    // Value of one key, at most 2047 characters; `defaultValue` for a
    // missing file, section or key.
    std::string ReadSetting(std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::string_view fileName) const;

    // Copies the lines of the first section named `sectionName` (compared in
    // upper case, blanks included) into `buffer` from position 0, each line
    // unchanged and followed by one NUL; empty lines and lines beginning with
    // ";" are skipped. Returns the count written, at most maxLength - 1: the
    // first line that does not fit is refused, and every later line with it.
    // The caller passes maxLength blanks and keeps the first count
    // characters; nothing is written past the end of a shorter buffer.
    // Returns 0 when the file cannot be opened or read.
    int32_t ReadSection(std::string_view sectionName, std::string& buffer, int32_t maxLength,
                        std::string_view fileName) const;

private:
    std::string PathOf(std::string_view fileName) const;

    std::string appFolder_;
};

}  // namespace tarvik
