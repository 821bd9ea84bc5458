#include "config/ini_reader.h"

#include <fstream>

#include "config/line_splitter.h"

namespace tarvik {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string CutToMax(std::string_view text)
{
    return std::string(text.substr(0, kIniValueMaxLength));
}

}  // namespace

std::optional<std::string> FindIniValue(std::istream& in, std::string_view section,
                                        std::string_view key)
{
    const std::string_view wantedSection = Trim(section);
    const std::string_view wantedKey = Trim(key);
    if (wantedKey.empty()) {
        return std::nullopt;
    }

    LineSplitter lines(in);
    bool inSection = false;
    while (!lines.AtEnd()) {
        const std::string line = lines.NextLine();
        if (lines.Failed()) {
            // The line may be cut short; an unreadable file gives defaults.
            return std::nullopt;
        }
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == ';') {
            continue;
        }
        if (text.front() == '[') {
            const std::size_t close = text.find(']');
            if (close != std::string_view::npos) {
                if (inSection) {
                    // A later section of the same name is not searched.
                    return std::nullopt;
                }
                inSection = EqualNoCase(Trim(text.substr(1, close - 1)), wantedSection);
                continue;
            }
        }
        if (!inSection) {
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        if (EqualNoCase(Trim(text.substr(0, equals)), wantedKey)) {
            return std::string(Unquote(Trim(text.substr(equals + 1))));
        }
    }
    return std::nullopt;
}

std::string ReadIniValue(const std::string& path, std::string_view section,
                         std::string_view key, std::string_view defaultValue)
{
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        return CutToMax(defaultValue);
    }
    const std::optional<std::string> value = FindIniValue(file, section, key);
    return value ? CutToMax(*value) : CutToMax(defaultValue);
}

}  // namespace tarvik
