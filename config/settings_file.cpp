#include "config/settings_file.h"

#include <algorithm>
#include <fstream>

#include "config/ini_reader.h"

namespace tarvik {

namespace {

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// True for a section header line: it begins with "[" and holds a "]". Its
// name runs from after the "[" up to the first "]" and is not trimmed.
bool HeaderName(std::string_view line, std::string_view& name)
{
    if (line.empty() || line.front() != '[') {
        return false;
    }
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = line.substr(1, close - 1);
    return true;
}

}  // namespace

std::string AppFolderOf(std::string_view executablePath)
{
    const std::size_t slash = executablePath.rfind('/');
    if (slash == std::string_view::npos) {
        return "./";
    }
    return std::string(executablePath.substr(0, slash + 1));
}

std::string SettingsFile::PathOf(std::string_view fileName) const
{
    std::string path = appFolder_;
    path += fileName;
    return path;
}

std::string SettingsFile::ReadSetting(std::string_view section, std::string_view key,
                                      std::string_view defaultValue,
                                      std::string_view fileName) const
{
    return ReadIniValue(PathOf(fileName), section, key, defaultValue);
}

int32_t SettingsFile::ReadSection(std::string_view sectionName, std::string& buffer,
                                  int32_t maxLength, std::string_view fileName) const
{
    std::ifstream file(PathOf(fileName), std::ios::binary);
    if (!file.is_open()) {
        return 0;
    }
    // Never write past the buffer, whatever length the caller claims.
    const int64_t limit = std::min<int64_t>(maxLength, static_cast<int64_t>(buffer.size()));
    const std::string wanted = Upper(sectionName);

    LineSplitter lines(file);
    std::string_view name;
    bool found = false;
    while (!found && !lines.AtEnd()) {
        const std::string line = lines.NextLine();
        found = HeaderName(line, name) && Upper(name) == wanted;
    }

    int64_t count = 0;
    bool refused = false;
    while (found && !lines.AtEnd()) {
        const std::string line = lines.NextLine();
        if (HeaderName(line, name)) {
            break;
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        const auto length = static_cast<int64_t>(line.size());
        if (!refused && count + length + 1 < limit) {
            std::copy(line.begin(), line.end(), buffer.begin() + count);
            buffer[static_cast<std::size_t>(count + length)] = '\0';
            count += length + 1;
        } else {
            refused = true;
        }
    }

    if (lines.Failed()) {
        return 0;
    }
    return static_cast<int32_t>(count);
}

}  // namespace tarvik
