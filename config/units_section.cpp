#include "config/units_section.h"

#include <cstddef>
#include <optional>
#include <utility>

namespace tarvik {

namespace {

constexpr std::string_view kServed = "Served";
constexpr std::string_view kAbsent = "Absent";
constexpr int kLastUnitId = kUnitIdCount - 1;

// A settings text as an error shows it: a settings file is not trusted to
// keep a terminal or a message box readable.
std::string Shown(std::string_view text) {
    constexpr std::size_t kMostShown = 80;
    std::string shown;
    for (const char c : text.substr(0, kMostShown)) {
        const auto byte = static_cast<unsigned char>(c);
        shown += (byte < 0x20 || byte >= 0x7F) ? '?' : c;
    }
    if (text.size() > kMostShown) shown += "...";
    return shown;
}

// A unit id of decimal digits, leading zeros allowed; otherwise the reason.
std::string ReadUnitId(std::string_view item, std::string_view field, int& id) {
    if (field.empty() || field.find_first_not_of("0123456789") != std::string_view::npos) {
        return "\"" + Shown(item) + "\" is not a unit id or a range a-b";
    }
    int value = 0;
    for (const char c : field) {
        value = value * 10 + (c - '0');
        if (value > kLastUnitId) {
            return "unit id " + Shown(field) + " is past " + std::to_string(kLastUnitId);
        }
    }
    id = value;
    return {};
}

// Empty when every item of `value` reads, its ids then set in `served`.
std::string ReadServed(std::string_view value, UnitSet& served) {
    if (value.empty()) return {};
    while (true) {
        const std::size_t comma = value.find(',');
        const std::string_view item = TrimBlanks(value.substr(0, comma));
        if (item.empty()) return "an item between commas is empty";
        const std::size_t dash = item.find('-');
        int first = 0;
        int last = 0;
        std::string why = ReadUnitId(item, TrimBlanks(item.substr(0, dash)), first);
        if (why.empty()) {
            last = first;
            if (dash != std::string_view::npos) {
                why = ReadUnitId(item, TrimBlanks(item.substr(dash + 1)), last);
            }
        }
        if (!why.empty()) return why;
        if (last < first) return "range " + Shown(item) + " runs backwards";
        for (int id = first; id <= last; ++id) served.set(static_cast<std::size_t>(id));
        if (comma == std::string_view::npos) return {};
        value.remove_prefix(comma + 1);
    }
}

std::optional<AbsentAnswer> ReadAbsent(std::string_view value) {
    if (value.empty() || EqualsNoCase(value, "0B")) return AbsentAnswer::GatewayTargetFailed;
    if (EqualsNoCase(value, "0A")) return AbsentAnswer::GatewayPathUnavailable;
    if (EqualsNoCase(value, "silent")) return AbsentAnswer::Silent;
    return std::nullopt;
}

UnitsSectionResult Refused(const SectionEntry& entry, std::string reason) {
    UnitsSectionResult result;
    result.ok = false;
    result.error = {std::string(kUnitsSection), Shown(entry.name), Shown(entry.value),
                    std::move(reason)};
    return result;
}

}  // namespace

UnitsSectionResult ParseUnitsSection(const SectionLines& lines) {
    UnitsSectionResult result;
    bool servedSeen = false;
    bool absentSeen = false;
    for (const SectionEntry& entry : lines.entries) {
        if (!entry.hasEquals) return Refused(entry, "not a KEY=VALUE line");
        const bool served = EqualsNoCase(entry.name, kServed);
        if (!served && !EqualsNoCase(entry.name, kAbsent)) {
            return Refused(entry, "unknown key (Served or Absent)");
        }
        // Which of two values was meant cannot be told.
        bool& seen = served ? servedSeen : absentSeen;
        if (seen) return Refused(entry, "given twice");
        seen = true;
        if (served) {
            if (std::string why = ReadServed(entry.value, result.units.served); !why.empty()) {
                return Refused(entry, std::move(why));
            }
        } else if (const auto absent = ReadAbsent(entry.value)) {
            result.units.absent = *absent;
        } else {
            return Refused(entry, "expected 0B, 0A or silent");
        }
    }
    return result;
}

UnitsSectionResult ReadUnitsSection(const SettingsFile& settings) {
    return ParseUnitsSection(ReadSectionLines(settings, kUnitsSection));
}

std::string UnitListText(const UnitSet& units) {
    std::string text;
    int id = 0;
    while (id < kUnitIdCount) {
        if (!units.test(static_cast<std::size_t>(id))) {
            ++id;
            continue;
        }
        int last = id;
        while (last < kLastUnitId && units.test(static_cast<std::size_t>(last) + 1)) ++last;
        if (!text.empty()) text += ", ";
        text += std::to_string(id);
        if (last > id) text += "-" + std::to_string(last);
        id = last + 1;
    }
    return text;
}

std::string UnitsNotice(const UnitsSettings& units) {
    std::string others;
    switch (units.absent) {
        case AbsentAnswer::GatewayTargetFailed: others = "exception 0B"; break;
        case AbsentAnswer::GatewayPathUnavailable: others = "exception 0A"; break;
        case AbsentAnswer::Silent: others = "silent"; break;
    }
    return UnitListText(units.served) + " (others: " + others + ")";
}

}  // namespace tarvik
