// Reader of single keys of an initialisation file, with the behaviour of
// the Windows profile reader the program's settings were written for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// Longest value handed back; longer values are cut.
inline constexpr std::size_t kIniValueMaxLength = 2047;

// The value of `key` in `section` of the settings `text`, or nothing when
// either is missing.
// - Section and key names are trimmed of blanks and tabs and matched without
//   regard to case; text after a section's "]" is ignored.
// - The value is trimmed, then one pair of surrounding quotes (" or ') is
//   removed; a ";" inside a value is part of it.
// - Lines end as LineSplitter says. Lines whose first non-blank character is
//   ";" are comments; lines before the first section header belong to no
//   section.
// - Only the first section of a name is searched, and its first key of a
//   name wins.
// Not cut to length.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

}  // namespace tarvik
