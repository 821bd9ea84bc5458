#include "config/section_lines.h"

#include "config/line_splitter.h"

namespace tarvik {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A header line: "[" first, a "]" somewhere; the name between, trimmed.
bool HeaderName(std::string_view line, std::string_view& name) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() != '[') return false;
    const std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return false;
    name = TrimBlanks(trimmed.substr(1, close - 1));
    return true;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

SectionLines ReadSectionLinesFromText(std::string_view text, std::string_view section) {
    SectionLines result;
    const std::string_view wanted = TrimBlanks(section);
    LineSplitter lines(text);
    std::string_view name;
    while (!result.present && !lines.AtEnd()) {
        result.present = HeaderName(lines.NextLine(), name) && EqualsNoCase(name, wanted);
    }
    while (result.present && !lines.AtEnd()) {
        const std::string_view line = lines.NextLine();
        if (HeaderName(line, name)) break;
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        SectionEntry entry;
        const std::size_t equals = trimmed.find('=');
        entry.hasEquals = equals != std::string_view::npos;
        entry.name = TrimBlanks(trimmed.substr(0, equals));
        if (entry.hasEquals) entry.value = TrimBlanks(trimmed.substr(equals + 1));
        result.entries.push_back(std::move(entry));
    }
    return result;
}

SectionLines ReadSectionLines(const SettingsFile& settings, std::string_view section) {
    if (!settings.Readable()) return {};
    return ReadSectionLinesFromText(settings.Text(), section);
}

std::string SettingsError::Text() const {
    return "Settings error: [" + section + "] " + name + "=" + value + ": " + reason;
}

}  // namespace tarvik
