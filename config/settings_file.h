// The program's settings file and its two readers: single keys, and the
// lines of a list section.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

inline constexpr std::string_view kSettingsFileName = "TarvikSlave.ini";

// Folder of the program file at `executablePath`, ending in "/" (a root
// folder is not given a second one). A bare file name gives "./".
std::string AppFolderOf(std::string_view executablePath);

// The settings file, read once when the object is made, through
// ReadSmallFile: only a regular file of at most 1 MiB is read. One that
// cannot be read answers every key with its default and every section with
// nothing, as a missing file does; Readable() and Reason() tell start-up why.
// Later changes to the file are not seen.
class SettingsFile {
public:
    // TarvikSlave.ini in the program's folder `appFolder`, which ends in "/";
    // never the current directory.
    explicit SettingsFile(std::string appFolder);
    // The file at `path`, as the user named it.
    static SettingsFile AtPath(const std::string& path);

    // Folder of the file, ending in "/": other files the settings name by a
    // relative path are found from here.
    const std::string& AppFolder() const { return appFolder_; }
    const std::string& Path() const { return path_; }
    bool Readable() const { return readable_; }
    // Why the file could not be read ("no such file", "not a regular file",
    // ...); empty when it could.
    const std::string& Reason() const { return reason_; }
    // The whole text as read; empty when it could not be.
    const std::string& Text() const { return text_; }

    // Value of one key, at most 2047 characters; `defaultValue` (cut the
    // same way) for an unreadable file or a missing section or key.
    std::string ReadSetting(std::string_view section, std::string_view key,
                            std::string_view defaultValue) const;
    // The same value, or nothing where ReadSetting gives the default: tells
    // a missing key from an empty one.
    std::optional<std::string> FindSetting(std::string_view section, std::string_view key) const;

    // Copies the lines of the first section named `sectionName` (compared in
    // upper case, blanks included) into `buffer` from position 0, each line
    // unchanged and followed by one NUL; empty lines and lines beginning with
    // ";" are skipped. Returns the count written, at most maxLength - 1: the
    // first line that does not fit is refused, and every later line with it.
    // The caller passes maxLength blanks and keeps the first count
    // characters; nothing is written past the end of a shorter buffer.
    // Returns 0 when the file could not be read.
    int32_t ReadSection(std::string_view sectionName, std::string& buffer, int32_t maxLength) const;

private:
    SettingsFile(std::string appFolder, std::string path);

    std::string appFolder_;
    std::string path_;
    bool readable_ = false;
    std::string reason_;
    std::string text_;
};

// `path` as a file named by the settings: a relative path is taken from the
// settings file's folder, an absolute one stays, and the empty text (none)
// stays empty.
std::string ResolveBesideSettings(const SettingsFile& settings, const std::string& path);

}  // namespace tarvik
