#include "config/register_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "config/register_file_fields.h"
#include "config/small_file.h"

namespace tarvik {

namespace {

constexpr std::string_view kHolding = "holding";
constexpr std::string_view kInput = "input";
constexpr uint32_t kMaxValue = 65535;

enum class Form { Tables, Units };

struct Entry {
    uint32_t unit = 0;
    bool holding = true;
    uint32_t index = 0;
    uint32_t value = 0;
};

std::string_view HeaderOf(Form form) {
    return form == Form::Units ? kUnitRegisterFileHeader : kRegisterFileHeader;
}

bool IsHeader(const RegisterFields& fields, std::size_t count, Form form) {
    RegisterFields wanted;
    const std::size_t wantedCount = SplitRegisterFields(HeaderOf(form), wanted);
    return count == wantedCount &&
           std::equal(wanted.begin(), wanted.begin() + count, fields.begin());
}

std::string ExpectedHeader(const UnitSet& served) {
    std::string expected = "expected the header line ";
    if (served.any()) expected += std::string(kUnitRegisterFileHeader) + " or ";
    return expected + std::string(kRegisterFileHeader);
}

// Empty when `line` is a good entry of `form`, stored in `entry`; otherwise
// the reason.
std::string ReadEntry(std::string_view line, Form form, const UnitSet& served, Entry& entry) {
    RegisterFields fields;
    const std::size_t count = SplitRegisterFields(line, fields);
    RegisterFields header;
    const std::size_t expected = SplitRegisterFields(HeaderOf(form), header);
    if (count != expected) {
        return "expected " + std::to_string(expected) + " fields " + std::string(HeaderOf(form)) +
               ", found " + std::to_string(count);
    }
    std::size_t next = 0;
    if (form == Form::Units) {
        if (std::string why =
                ReadDecimalField("unit", fields[next++], kUnitIdCount - 1, entry.unit);
            !why.empty()) {
            return why;
        }
        if (!served.test(entry.unit))
            return "unit " + std::to_string(entry.unit) + " is not served";
    }
    const std::string_view table = fields[next++];
    if (table != kHolding && table != kInput) {
        return "unknown table " + ShownField(table) + " (holding or input)";
    }
    entry.holding = table == kHolding;
    if (std::string why =
            ReadDecimalField("index", fields[next++], kRegisterTableSize - 1, entry.index);
        !why.empty()) {
        return why;
    }
    return ReadDecimalField("value", fields[next], kMaxValue, entry.value);
}

struct Parsed {
    std::string error;  // empty when the text was read
    Form form = Form::Tables;
    // Today's form: one set for every unit. The unit form: one per served
    // unit, ascending.
    std::vector<RegisterValues> values;
};

Parsed Refused(const std::string& path, std::string reason) {
    Parsed parsed;
    parsed.error = path + ": " + std::move(reason);
    return parsed;
}

Parsed RefusedLine(const std::string& path, std::size_t lineNumber, const std::string& reason) {
    return Refused(path, "line " + std::to_string(lineNumber) + ": " + reason);
}

// Both forms; with no unit served the unit form is refused.
Parsed Parse(std::string_view text, const UnitSet& served, const std::string& path) {
    RegisterFileLines lines(text);
    std::string_view line;
    if (!lines.Next(line)) return Refused(path, "empty, " + ExpectedHeader(served));
    RegisterFields fields;
    const std::size_t count = SplitRegisterFields(line, fields);
    Parsed parsed;
    if (IsHeader(fields, count, Form::Units)) {
        if (served.none()) {
            return RefusedLine(path, lines.Number(),
                               "header " + std::string(kUnitRegisterFileHeader) +
                                   " names units, but no units are served");
        }
        parsed.form = Form::Units;
    } else if (!IsHeader(fields, count, Form::Tables)) {
        return RefusedLine(path, lines.Number(), ExpectedHeader(served));
    }

    // Where each unit's values are in parsed.values.
    std::array<std::size_t, kUnitIdCount> slot{};
    const std::vector<int> ids = UnitIds(served);
    for (std::size_t i = 0; i < ids.size(); ++i) slot[static_cast<std::size_t>(ids[i])] = i;
    parsed.values.resize(parsed.form == Form::Units ? ids.size() : 1);
    // Line of each entry seen so far (0: none), to name the first of a
    // repeat: holding, then input, per set of values.
    std::vector<uint32_t> firstLines(parsed.values.size() * 2 * kRegisterTableSize);

    while (lines.Next(line)) {
        Entry entry;
        if (std::string why = ReadEntry(line, parsed.form, served, entry); !why.empty()) {
            return RefusedLine(path, lines.Number(), why);
        }
        const std::size_t at = parsed.form == Form::Units ? slot[entry.unit] : 0;
        uint32_t& firstLine =
            firstLines[(at * 2 + (entry.holding ? 0 : 1)) * kRegisterTableSize + entry.index];
        if (firstLine != 0) {
            const std::string unit =
                parsed.form == Form::Units ? "unit " + std::to_string(entry.unit) + " " : "";
            return RefusedLine(path, lines.Number(),
                               unit + std::string(entry.holding ? kHolding : kInput) + " " +
                                   std::to_string(entry.index) + " repeated (first on line " +
                                   std::to_string(firstLine) + ")");
        }
        // A file within kRegisterFileLimit has fewer lines than this holds.
        firstLine = static_cast<uint32_t>(lines.Number());
        RegisterValues& values = parsed.values[at];
        (entry.holding ? values.holding : values.input)[entry.index] =
            static_cast<uint16_t>(entry.value);
    }
    return parsed;
}

void AppendEntries(std::string& text, std::string_view prefix, const RegisterValues& values) {
    const auto append = [&](std::string_view table, const auto& registers) {
        for (std::size_t index = 0; index < registers.size(); ++index) {
            if (registers[index] == 0) continue;
            text += prefix;
            text += table;
            text += ',';
            text += std::to_string(index);
            text += ',';
            text += std::to_string(registers[index]);
            text += '\n';
        }
    };
    append(kHolding, values.holding);
    append(kInput, values.input);
}

}  // namespace

RegisterFileResult ParseRegisterFile(std::string_view text, const std::string& pathForMessages) {
    Parsed parsed = Parse(text, UnitSet{}, pathForMessages);
    RegisterFileResult result;
    result.ok = parsed.error.empty();
    result.error = std::move(parsed.error);
    if (result.ok) result.values = parsed.values.front();
    return result;
}

RegisterFileResult LoadRegisterFile(const std::string& path) {
    const FileText file = ReadSmallFile(path, kRegisterFileLimit);
    if (!file.ok) {
        RegisterFileResult result;
        result.error = path + ": " + file.reason;
        return result;
    }
    return ParseRegisterFile(file.text, path);
}

std::string FormatRegisterFile(const RegisterValues& values) {
    std::string text(kRegisterFileHeader);
    text += '\n';
    AppendEntries(text, "", values);
    return text;
}

UnitRegisterFileResult ParseUnitRegisterFile(std::string_view text, const UnitSet& served,
                                             const std::string& pathForMessages) {
    Parsed parsed = Parse(text, served, pathForMessages);
    UnitRegisterFileResult result;
    result.ok = parsed.error.empty();
    result.error = std::move(parsed.error);
    if (!result.ok) return result;
    const std::vector<int> ids = UnitIds(served);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        result.units[ids[i]] =
            parsed.form == Form::Units ? std::move(parsed.values[i]) : parsed.values.front();
    }
    return result;
}

UnitRegisterFileResult LoadUnitRegisterFile(const std::string& path, const UnitSet& served) {
    const FileText file = ReadSmallFile(path, kRegisterFileLimit);
    if (!file.ok) {
        UnitRegisterFileResult result;
        result.error = path + ": " + file.reason;
        return result;
    }
    return ParseUnitRegisterFile(file.text, served, path);
}

std::string FormatUnitRegisterFile(const UnitRegisterValues& units) {
    std::string text(kUnitRegisterFileHeader);
    text += '\n';
    for (const auto& [unit, values] : units) {
        AppendEntries(text, std::to_string(unit) + ",", values);
    }
    return text;
}

}  // namespace tarvik
