#include "config/generators_section.h"

#include <charconv>
#include <limits>
#include <string>
#include <unordered_map>

#include "config/points_section.h"

namespace tarvik {

namespace {

// Arguments split at runs of blanks and tabs.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// What the kind takes, for the wrong-count refusal.
std::string_view Form(GeneratorKind kind) {
    switch (kind) {
        case GeneratorKind::Ramp: return "ramp takes MIN MAX PERIOD";
        case GeneratorKind::Sine: return "sine takes MID AMPLITUDE PERIOD";
        case GeneratorKind::Random: return "random takes MIN MAX INTERVAL";
        case GeneratorKind::Counter: return "counter takes STEP INTERVAL";
        case GeneratorKind::Steps: break;
    }
    return "steps takes V1 [V2 ...] INTERVAL";
}

bool CountFits(GeneratorKind kind, std::size_t numbers) {
    switch (kind) {
        case GeneratorKind::Counter: return numbers == 1;
        case GeneratorKind::Steps: return numbers >= 1;
        default: return numbers == 2;
    }
}

bool HasBounds(GeneratorKind kind) {
    return kind == GeneratorKind::Ramp || kind == GeneratorKind::Random;
}

// The reason `words` (kind first) make no generator, or nothing after
// filling `generator`.
std::optional<std::string> FillGenerator(const std::vector<std::string_view>& words,
                                         Generator& generator) {
    const std::optional<GeneratorKind> kind =
        words.empty() ? std::nullopt : ParseKindName(words[0]);
    if (!kind) {
        return "unknown kind " + std::string(words.empty() ? "" : words[0]) +
               " (ramp, sine, random, counter or steps)";
    }
    generator.kind = *kind;
    if (words.size() < 2 || !CountFits(*kind, words.size() - 2)) return std::string(Form(*kind));
    for (std::size_t i = 1; i + 1 < words.size(); ++i) {
        const std::optional<double> number = ParseDecimalNumber(words[i]);
        if (!number) return std::string(words[i]) + " is not a number";
        generator.numbers.push_back(*number);
    }
    const std::string_view last = words.back();
    const std::optional<std::chrono::milliseconds> period = ParseDuration(last);
    if (!period) return std::string(last) + " is not a duration (250ms, 10s, 2m)";
    if (period->count() <= 0) return "duration " + std::string(last) + " is not positive";
    generator.period = *period;
    if (HasBounds(*kind) && generator.numbers[0] > generator.numbers[1]) {
        return "MIN " + std::string(words[1]) + " is greater than MAX " + std::string(words[2]);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    int64_t scale = 1;
    if (text.size() > 2 && EqualsNoCase(text.substr(text.size() - 2), "ms")) {
        text.remove_suffix(2);
    } else if (!text.empty() && (text.back() == 's' || text.back() == 'S')) {
        scale = 1000;
        text.remove_suffix(1);
    } else if (!text.empty() && (text.back() == 'm' || text.back() == 'M')) {
        scale = 60'000;
        text.remove_suffix(1);
    } else {
        return std::nullopt;
    }
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    int64_t count = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        count > std::numeric_limits<int64_t>::max() / scale) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(negative ? -count * scale : count * scale);
}

GeneratorsSection ParseGeneratorsSection(const SectionLines& lines, std::span<const Point> points) {
    GeneratorsSection section;
    section.present = lines.present;
    std::unordered_map<std::string, std::size_t> pointOf;
    for (std::size_t i = 0; i < points.size(); ++i)
        pointOf.emplace(PointNameKey(points[i].name), i);
    std::vector<bool> generated(points.size(), false);
    for (const SectionEntry& entry : lines.entries) {
        const auto refuse = [&](std::string reason) {
            section.generators.clear();
            section.error =
                SettingsError{std::string(kGeneratorsSection), entry.name, entry.value, reason};
            return section;
        };
        const auto point = pointOf.find(PointNameKey(entry.name));
        if (point == pointOf.end()) return refuse("no point of that name");
        if (generated[point->second]) return refuse("the point has a generator already");
        Generator generator;
        generator.point = point->second;
        if (auto reason = FillGenerator(Words(entry.value), generator)) {
            return refuse(std::move(*reason));
        }
        generator.text = entry.value;
        generated[point->second] = true;
        section.generators.push_back(std::move(generator));
    }
    return section;
}

GeneratorsSection ReadGeneratorsSection(const SettingsFile& settings,
                                        std::span<const Point> points) {
    return ParseGeneratorsSection(ReadSectionLines(settings, kGeneratorsSection), points);
}

}  // namespace tarvik
