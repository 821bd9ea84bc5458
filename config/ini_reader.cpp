#include "config/ini_reader.h"

#include "config/line_splitter.h"

namespace tarvik {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
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

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const std::string_view wantedSection = Trim(section);
    const std::string_view wantedKey = Trim(key);
    if (wantedKey.empty()) {
        return std::nullopt;
    }

    LineSplitter lines(text);
    bool inSection = false;
    while (!lines.AtEnd()) {
        const std::string_view line = Trim(lines.NextLine());
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) {
                if (inSection) {
                    // A later section of the same name is not searched.
                    return std::nullopt;
                }
                inSection = EqualNoCase(Trim(line.substr(1, close - 1)), wantedSection);
                continue;
            }
        }
        if (!inSection) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        if (EqualNoCase(Trim(line.substr(0, equals)), wantedKey)) {
            return std::string(Unquote(Trim(line.substr(equals + 1))));
        }
    }
    return std::nullopt;
}

}  // namespace tarvik
