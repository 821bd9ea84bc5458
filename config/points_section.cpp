#include "config/points_section.h"

#include <charconv>
#include <unordered_set>

namespace tarvik {

namespace {

constexpr std::string_view kPointForm = "expected table,index,type[,order[,unit]]";

// Digits only, up to `limit`.
std::optional<int> WholeNumber(std::string_view text, int limit) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    if (value < 0 || value > limit) return std::nullopt;
    return value;
}

int LowestServed(const ServedUnits& units) {
    for (std::size_t id = 0; id < units.ids.size(); ++id) {
        if (units.ids.test(id)) return static_cast<int>(id);
    }
    return kNoUnit;
}

// The reason `fields` make no point, or nothing after filling `point`.
std::optional<std::string> FillPoint(const std::vector<std::string_view>& fields,
                                     const ServedUnits& units, Point& point) {
    if (fields.size() < 3 || fields.size() > 5) return std::string(kPointForm);
    if (EqualsNoCase(fields[0], "holding")) {
        point.table = PointTable::Holding;
    } else if (EqualsNoCase(fields[0], "input")) {
        point.table = PointTable::Input;
    } else {
        return "unknown table " + std::string(fields[0]) + " (holding or input)";
    }
    const std::optional<int> index = WholeNumber(fields[1], kRegisterCount - 1);
    if (!index) return "index " + std::string(fields[1]) + " is not a register 0-2047";
    point.index = *index;
    const std::optional<ValueType> type = ParseTypeName(fields[2]);
    if (!type) return "unknown type " + std::string(fields[2]);
    point.type = *type;
    if (fields.size() > 3) {
        const std::optional<WordOrder> order = ParseOrderName(fields[3]);
        if (!order) return "unknown order " + std::string(fields[3]);
        point.order = *order;
    }
    if (!OrderFits(point.type, point.order)) {
        return std::string(TypeName(point.type)) + " takes order ABCD or BADC";
    }
    if (!PointFits(point)) {
        const int last = point.index + RegisterCount(point.type) - 1;
        return "registers " + std::to_string(point.index) + "-" + std::to_string(last) +
               " do not fit below 2048";
    }
    if (fields.size() < 5) {
        point.unit = units.on ? LowestServed(units) : kNoUnit;
        return std::nullopt;
    }
    if (!units.on) return std::string("a unit needs [Units]");
    const std::optional<int> unit = WholeNumber(fields[4], 255);
    if (!unit) return "unit " + std::string(fields[4]) + " is not a unit id 0-255";
    if (!units.ids.test(static_cast<std::size_t>(*unit))) {
        return "unit " + std::to_string(*unit) + " is not served";
    }
    point.unit = *unit;
    return std::nullopt;
}

}  // namespace

bool IsPointName(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (const char c : name) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-' && c != '.') return false;
    }
    return true;
}

std::string PointNameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

std::vector<std::string_view> SplitTrimmed(std::string_view text, char delimiter) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = text.find(delimiter);
        fields.push_back(TrimBlanks(text.substr(0, at)));
        if (at == std::string_view::npos) return fields;
        text.remove_prefix(at + 1);
    }
}

PointsSection ParsePointsSection(const SectionLines& lines, const ServedUnits& units) {
    PointsSection section;
    section.present = lines.present;
    std::unordered_set<std::string> names;
    for (const SectionEntry& entry : lines.entries) {
        const auto refuse = [&](std::string reason) {
            section.points.clear();
            section.error =
                SettingsError{std::string(kPointsSection), entry.name, entry.value, reason};
            return section;
        };
        if (!IsPointName(entry.name)) {
            return refuse("a name is 1-32 letters, digits, _, - or .");
        }
        if (!entry.hasEquals) return refuse(std::string(kPointForm));
        if (!names.insert(PointNameKey(entry.name)).second) return refuse("repeated name");
        Point point;
        point.name = entry.name;
        if (auto reason = FillPoint(SplitTrimmed(entry.value, ','), units, point)) {
            return refuse(std::move(*reason));
        }
        section.points.push_back(std::move(point));
    }
    return section;
}

PointsSection ReadPointsSection(const SettingsFile& settings, const ServedUnits& units) {
    return ParsePointsSection(ReadSectionLines(settings, kPointsSection), units);
}

}  // namespace tarvik
