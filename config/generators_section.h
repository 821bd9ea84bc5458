// [Generators]: point=kind arguments, at most one generator a point.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "config/section_lines.h"
#include "config/settings_file.h"
#include "engine/generators.h"
#include "engine/point.h"

namespace tarvik {

inline constexpr std::string_view kGeneratorsSection = "Generators";

struct GeneratorsSection {
    bool present = false;
    // In file order; empty when `error` is set.
    std::vector<Generator> generators;
    std::optional<SettingsError> error;  // the first bad line
};

// Each generator's point is looked up by name (without regard to case) in
// `points`, the [Points] read from the same file.
GeneratorsSection ParseGeneratorsSection(const SectionLines& lines, std::span<const Point> points);
GeneratorsSection ReadGeneratorsSection(const SettingsFile& settings,
                                        std::span<const Point> points);

// A whole number followed by "ms", "s" or "m" ("250ms", "10s", "2m"), any
// sign; nothing for another text or one past the range of milliseconds.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

}  // namespace tarvik
