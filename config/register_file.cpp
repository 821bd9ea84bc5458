#include "config/register_file.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "config/small_file.h"

namespace tarvik {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kHolding = "holding";
constexpr std::string_view kInput = "input";
constexpr uint32_t kMaxValue = 65535;

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

using Fields = std::array<std::string_view, 3>;

// The three fields of `line`, each trimmed of blanks; false when the line
// has another number of fields, which `count` then holds.
bool SplitFields(std::string_view line, Fields& fields, std::size_t& count) {
    count = 1 + static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
    if (count != fields.size()) {
        return false;
    }
    for (std::string_view& field : fields) {
        const std::size_t comma = line.find(',');
        field = TrimBlanks(line.substr(0, comma));
        line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
    }
    return true;
}

// A field as a message shows it: quoted, short, and printable whatever bytes
// the file held, so a binary file cannot garble a terminal or a dialog.
std::string Shown(std::string_view field) {
    constexpr std::size_t kMostShown = 24;
    std::string shown = "\"";
    for (const char c : field.substr(0, kMostShown)) {
        const auto byte = static_cast<unsigned char>(c);
        shown += (byte < 0x20 || byte >= 0x7F) ? '?' : c;
    }
    shown += field.size() > kMostShown ? "...\"" : "\"";
    return shown;
}

// Reads a field of decimal digits not above `max`; otherwise says why not.
std::string ReadNumber(std::string_view name, std::string_view field, uint32_t max,
                       uint32_t& number) {
    if (field.empty()) {
        return std::string(name) + " is empty";
    }
    if (field.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::string(name) + " " + Shown(field) + " is not a decimal number (digits only)";
    }
    uint64_t value = 0;
    for (const char c : field) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > max) {
            return std::string(name) + " " + Shown(field) + " is out of range 0.." +
                   std::to_string(max);
        }
    }
    number = static_cast<uint32_t>(value);
    return {};
}

struct Entry {
    bool holding = true;
    uint32_t index = 0;
    uint32_t value = 0;
};

// Empty when `line` is a good entry, stored in `entry`; otherwise the reason.
std::string ReadEntry(std::string_view line, Entry& entry) {
    Fields fields;
    std::size_t count = 0;
    if (!SplitFields(line, fields, count)) {
        return "expected 3 fields table,index,value, found " + std::to_string(count);
    }
    if (fields[0] == kHolding || fields[0] == kInput) {
        entry.holding = fields[0] == kHolding;
    } else {
        return "unknown table " + Shown(fields[0]) + " (holding or input)";
    }
    if (std::string why = ReadNumber("index", fields[1], kRegisterTableSize - 1, entry.index);
        !why.empty()) {
        return why;
    }
    return ReadNumber("value", fields[2], kMaxValue, entry.value);
}

bool IsHeader(std::string_view line) {
    Fields fields;
    std::size_t count = 0;
    return SplitFields(line, fields, count) && fields[0] == "table" && fields[1] == "index" &&
           fields[2] == "value";
}

RegisterFileResult Refused(const std::string& path, std::string reason) {
    RegisterFileResult result;
    result.error = path + ": " + std::move(reason);
    return result;
}

RegisterFileResult RefusedLine(const std::string& path, std::size_t lineNumber,
                               const std::string& reason) {
    return Refused(path, "line " + std::to_string(lineNumber) + ": " + reason);
}

}  // namespace

RegisterFileResult ParseRegisterFile(std::string_view text, const std::string& pathForMessages) {
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    RegisterFileResult result;
    // Line of each entry seen so far (0: none), to name the first of a repeat.
    std::array<std::size_t, kRegisterTableSize> holdingLine{}, inputLine{};
    bool headerSeen = false;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (TrimBlanks(line).empty()) {
            continue;
        }
        if (!headerSeen) {
            if (!IsHeader(line)) {
                return RefusedLine(pathForMessages, lineNumber,
                                   "expected the header line " + std::string(kRegisterFileHeader));
            }
            headerSeen = true;
            continue;
        }
        Entry entry;
        if (std::string why = ReadEntry(line, entry); !why.empty()) {
            return RefusedLine(pathForMessages, lineNumber, why);
        }
        std::size_t& firstLine = (entry.holding ? holdingLine : inputLine)[entry.index];
        if (firstLine != 0) {
            return RefusedLine(pathForMessages, lineNumber,
                               std::string(entry.holding ? kHolding : kInput) + " " +
                                   std::to_string(entry.index) + " repeated (first on line " +
                                   std::to_string(firstLine) + ")");
        }
        firstLine = lineNumber;
        (entry.holding ? result.values.holding : result.values.input)[entry.index] =
            static_cast<uint16_t>(entry.value);
    }
    if (!headerSeen) {
        return Refused(pathForMessages,
                       "empty, expected the header line " + std::string(kRegisterFileHeader));
    }
    result.ok = true;
    return result;
}

RegisterFileResult LoadRegisterFile(const std::string& path) {
    const FileText file = ReadSmallFile(path);
    if (!file.ok) {
        return Refused(path, file.reason);
    }
    return ParseRegisterFile(file.text, path);
}

std::string FormatRegisterFile(const RegisterValues& values) {
    std::string text(kRegisterFileHeader);
    text += '\n';
    const auto append = [&text](std::string_view table, const auto& registers) {
        for (std::size_t index = 0; index < registers.size(); ++index) {
            if (registers[index] != 0) {
                text += table;
                text += ',';
                text += std::to_string(index);
                text += ',';
                text += std::to_string(registers[index]);
                text += '\n';
            }
        }
    };
    append(kHolding, values.holding);
    append(kInput, values.input);
    return text;
}

}  // namespace tarvik
