#include "config/settings_file.h"

#include <algorithm>
#include <utility>

#include "config/ini_reader.h"
#include "config/line_splitter.h"
#include "config/small_file.h"

namespace tarvik {

namespace {

std::string Upper(std::string_view text) {
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
bool HeaderName(std::string_view line, std::string_view& name) {
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

std::string CutToMax(std::string_view text) {
    return std::string(text.substr(0, kIniValueMaxLength));
}

}  // namespace

std::string AppFolderOf(std::string_view executablePath) {
    const std::size_t slash = executablePath.rfind('/');
    if (slash == std::string_view::npos) {
        return "./";
    }
    return std::string(executablePath.substr(0, slash + 1));
}

SettingsFile::SettingsFile(std::string appFolder)
    : SettingsFile(appFolder, appFolder + std::string(kSettingsFileName)) {}

SettingsFile SettingsFile::AtPath(const std::string& path) {
    return SettingsFile(AppFolderOf(path), path);
}

SettingsFile::SettingsFile(std::string appFolder, std::string path)
    : appFolder_(std::move(appFolder)), path_(std::move(path)) {
    FileText file = ReadSmallFile(path_);
    readable_ = file.ok;
    reason_ = std::move(file.reason);
    text_ = std::move(file.text);
}

std::optional<std::string> SettingsFile::FindSetting(std::string_view section,
                                                     std::string_view key) const {
    if (!readable_) {
        return std::nullopt;
    }
    std::optional<std::string> value = FindIniValue(text_, section, key);
    if (value && value->size() > kIniValueMaxLength) {
        value->resize(kIniValueMaxLength);
    }
    return value;
}

std::string SettingsFile::ReadSetting(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    std::optional<std::string> value = FindSetting(section, key);
    return value ? std::move(*value) : CutToMax(defaultValue);
}

int32_t SettingsFile::ReadSection(std::string_view sectionName, std::string& buffer,
                                  int32_t maxLength) const {
    if (!readable_) {
        return 0;
    }
    // Never write past the buffer, whatever length the caller claims.
    const int64_t limit = std::min<int64_t>(maxLength, static_cast<int64_t>(buffer.size()));
    const std::string wanted = Upper(sectionName);

    LineSplitter lines(text_);
    std::string_view name;
    bool found = false;
    while (!found && !lines.AtEnd()) {
        found = HeaderName(lines.NextLine(), name) && Upper(name) == wanted;
    }

    int64_t count = 0;
    bool refused = false;
    while (found && !lines.AtEnd()) {
        const std::string_view line = lines.NextLine();
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
    return static_cast<int32_t>(count);
}

std::string ResolveBesideSettings(const SettingsFile& settings, const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    return settings.AppFolder() + path;
}

}  // namespace tarvik
