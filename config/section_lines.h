// The lines of one settings section as name=value entries, for the sections
// that list things (units, rules, points, generators). Read up to the
// settings file's own size limit, unlike the port list's fixed buffer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/settings_file.h"

namespace tarvik {

struct SectionEntry {
    std::string name;   // before the first "=", blanks and tabs trimmed
    std::string value;  // after it, trimmed; empty when the line has no "="
    bool hasEquals = false;
};

struct SectionLines {
    // The section's header is in the file: an empty section is not a
    // missing one.
    bool present = false;
    // In file order; empty lines and lines whose first non-blank character
    // is ";" are skipped.
    std::vector<SectionEntry> entries;
};

// The first section named `section` (matched without regard to case, the
// name trimmed) of the settings file; nothing for an unreadable file.
SectionLines ReadSectionLines(const SettingsFile& settings, std::string_view section);
// The same from settings text, for parsers tested and fuzzed on text alone.
SectionLines ReadSectionLinesFromText(std::string_view text, std::string_view section);

// "Settings error: [SECTION] NAME=VALUE: REASON", the one form every list
// section's refusal takes on standard error and in the window.
struct SettingsError {
    std::string section;
    std::string name;
    std::string value;
    std::string reason;

    std::string Text() const;
};

// Blanks and tabs trimmed from both ends.
std::string_view TrimBlanks(std::string_view text);
// ASCII case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace tarvik
