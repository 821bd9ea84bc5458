#include "config/faults_section.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>

namespace tarvik {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsNameCharacter(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-' ||
           c == '.';
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// Decimal digits only; nothing for other text or a number past 10 digits,
// which is past every limit checked below.
std::optional<int64_t> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "word" or "word number": the word and the rest, both trimmed.
std::pair<std::string_view, std::string_view> WordAndRest(std::string_view field) {
    std::size_t end = 0;
    while (end < field.size() && !IsBlank(field[end])) ++end;
    return {field.substr(0, end), TrimBlanks(field.substr(end))};
}

// "*", "N" or (when allowed) "a-b", each number 0..max. A range that runs
// backwards says so in `reason`; other refusals leave it empty.
std::optional<ValueMatch> ParseMatch(std::string_view field, int32_t max, bool rangeAllowed,
                                     std::string& reason) {
    if (field == "*") return ValueMatch::AnyValue();
    const std::size_t dash = field.find('-');
    if (dash == std::string_view::npos || !rangeAllowed) {
        const auto value = WholeNumber(field);
        if (!value || *value > max) return std::nullopt;
        return ValueMatch::OneValue(static_cast<int32_t>(*value));
    }
    const auto first = WholeNumber(TrimBlanks(field.substr(0, dash)));
    const auto last = WholeNumber(TrimBlanks(field.substr(dash + 1)));
    if (!first || !last || *first > max || *last > max) return std::nullopt;
    if (*first > *last) {
        reason = "range runs backwards";
        return std::nullopt;
    }
    return ValueMatch::RangeOf(static_cast<int32_t>(*first), static_cast<int32_t>(*last));
}

std::optional<FaultAction> ParseAction(std::string_view field, std::string& reason) {
    const auto [word, rest] = WordAndRest(field);
    const std::string lower = LowerCase(word);
    if (lower == "exception") {
        const int high = rest.size() == 2 ? HexDigit(rest[0]) : -1;
        const int low = rest.size() == 2 ? HexDigit(rest[1]) : -1;
        if (high < 0 || low < 0 || high * 16 + low == 0) {
            reason = "exception code must be two hex digits, 01 to FF";
            return std::nullopt;
        }
        return FaultAction{FaultActionKind::Exception, high * 16 + low};
    }
    if (lower == "delay") {
        const auto ms = WholeNumber(rest);
        if (!ms || *ms < kMinFaultDelayMs || *ms > kMaxFaultDelayMs) {
            reason = "delay must be 1 to 60000 ms";
            return std::nullopt;
        }
        return FaultAction{FaultActionKind::Delay, static_cast<int32_t>(*ms)};
    }
    if (lower == "silent" || lower == "close") {
        if (!rest.empty()) {
            reason = lower + " takes no value";
            return std::nullopt;
        }
        return FaultAction{lower == "silent" ? FaultActionKind::Silent : FaultActionKind::Close, 0};
    }
    reason = "unknown action (exception NN, silent, delay MS or close)";
    return std::nullopt;
}

std::optional<FaultWhen> ParseWhen(std::string_view field, std::string& reason) {
    const auto [word, rest] = WordAndRest(field);
    const std::string lower = LowerCase(word);
    if (lower == "always" && rest.empty()) return FaultWhen{};
    if (lower == "every") {
        const auto count = WholeNumber(rest);
        if (!count || *count < 1 || *count > kMaxEveryCount) {
            reason = "every needs a whole number, 1 to 2147483647";
            return std::nullopt;
        }
        return FaultWhen{FaultWhenKind::Every, static_cast<int32_t>(*count)};
    }
    if (lower == "chance") {
        const auto percent = WholeNumber(rest);
        if (!percent || *percent > 100) {
            reason = "chance needs a whole number of percent, 0 to 100";
            return std::nullopt;
        }
        return FaultWhen{FaultWhenKind::Chance, static_cast<int32_t>(*percent)};
    }
    reason = "unknown when (always, every N or chance P)";
    return std::nullopt;
}

// The value's comma-separated fields, trimmed.
std::vector<std::string_view> Fields(std::string_view value) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t comma = value.find(',');
        fields.push_back(TrimBlanks(value.substr(0, comma)));
        if (comma == std::string_view::npos) return fields;
        value.remove_prefix(comma + 1);
    }
}

// One rule from its value, or the reason it is refused.
std::optional<FaultRule> ParseRule(std::string_view value, std::string& reason) {
    const std::vector<std::string_view> fields = Fields(value);
    if (fields.size() < 4) {
        reason = "missing field (unit,function,addresses,action[,when])";
        return std::nullopt;
    }
    if (fields.size() > 5) {
        reason = "too many fields (unit,function,addresses,action[,when])";
        return std::nullopt;
    }
    static constexpr const char* kFieldNames[] = {"unit", "function", "addresses", "action",
                                                  "when"};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].empty()) {
            reason = std::string("missing ") + kFieldNames[i];
            return std::nullopt;
        }
    }
    FaultRule rule;
    const auto unit = ParseMatch(fields[0], kMaxUnitId, true, reason);
    if (!unit) {
        reason = "unit " + (reason.empty() ? "must be *, an id or a range a-b, 0 to 255" : reason);
        return std::nullopt;
    }
    const auto function = ParseMatch(fields[1], kMaxFunctionCode, false, reason);
    if (!function) {
        reason = "function must be * or a code, 0 to 255";
        return std::nullopt;
    }
    const auto addresses = ParseMatch(fields[2], kMaxAddress, true, reason);
    if (!addresses) {
        reason = reason.empty() ? "addresses must be *, one address or a range a-b, 0 to 65535"
                                : "address " + reason;
        return std::nullopt;
    }
    const auto action = ParseAction(fields[3], reason);
    if (!action) return std::nullopt;
    std::optional<FaultWhen> when = FaultWhen{};
    if (fields.size() == 5) when = ParseWhen(fields[4], reason);
    if (!when) return std::nullopt;
    rule.unit = *unit;
    rule.function = *function;
    rule.addresses = *addresses;
    rule.action = *action;
    rule.when = *when;
    return rule;
}

bool ValidName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFaultNameLength) return false;
    for (const char c : name) {
        if (!IsNameCharacter(c)) return false;
    }
    return true;
}

}  // namespace

FaultsSection ParseFaultsSection(const SectionLines& lines) {
    FaultsSection section;
    section.present = lines.present;
    std::unordered_set<std::string> names;
    for (const SectionEntry& entry : lines.entries) {
        std::string reason;
        std::optional<FaultRule> rule;
        if (!entry.hasEquals) {
            reason = "not NAME=unit,function,addresses,action[,when]";
        } else if (!ValidName(entry.name)) {
            reason = "name must be 1 to 32 letters, digits, _, - or .";
        } else if (names.count(LowerCase(entry.name)) != 0) {
            reason = "repeated name";
        } else {
            rule = ParseRule(entry.value, reason);
        }
        if (!rule) {
            section.rules.clear();
            section.error = SettingsError{std::string(kFaultsSection), entry.name, entry.value,
                                          std::move(reason)};
            return section;
        }
        names.insert(LowerCase(entry.name));
        rule->name = entry.name;
        section.rules.push_back(std::move(*rule));
    }
    return section;
}

FaultsSection ReadFaultsSection(const SettingsFile& settings) {
    return ParseFaultsSection(ReadSectionLines(settings, kFaultsSection));
}

FaultsSection ReadFaultsSectionFromText(std::string_view text) {
    return ParseFaultsSection(ReadSectionLinesFromText(text, kFaultsSection));
}

}  // namespace tarvik
