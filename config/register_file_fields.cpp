#include "config/register_file_fields.h"

#include <algorithm>

namespace tarvik {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimField(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

RegisterFileLines::RegisterFileLines(std::string_view text) : rest_(text) {
    if (rest_.substr(0, kUtf8Bom.size()) == kUtf8Bom) rest_.remove_prefix(kUtf8Bom.size());
}

bool RegisterFileLines::Next(std::string_view& line) {
    while (!rest_.empty()) {
        ++number_;
        const std::size_t end = rest_.find('\n');
        line = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!TrimField(line).empty()) return true;
    }
    return false;
}

std::size_t SplitRegisterFields(std::string_view line, RegisterFields& fields) {
    const std::size_t count =
        1 + static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
    if (count > fields.size()) return count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t comma = line.find(',');
        fields[i] = TrimField(line.substr(0, comma));
        line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
    }
    return count;
}

std::string ShownField(std::string_view field) {
    constexpr std::size_t kMostShown = 24;
    std::string shown = "\"";
    for (const char c : field.substr(0, kMostShown)) {
        const auto byte = static_cast<unsigned char>(c);
        shown += (byte < 0x20 || byte >= 0x7F) ? '?' : c;
    }
    shown += field.size() > kMostShown ? "...\"" : "\"";
    return shown;
}

std::string ReadDecimalField(std::string_view name, std::string_view field, uint32_t max,
                             uint32_t& number) {
    if (field.empty()) return std::string(name) + " is empty";
    if (field.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::string(name) + " " + ShownField(field) +
               " is not a decimal number (digits only)";
    }
    uint64_t value = 0;
    for (const char c : field) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > max) {
            return std::string(name) + " " + ShownField(field) + " is out of range 0.." +
                   std::to_string(max);
        }
    }
    number = static_cast<uint32_t>(value);
    return {};
}

}  // namespace tarvik
