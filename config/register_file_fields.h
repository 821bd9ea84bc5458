// The pieces both forms of the registers file are read with: its lines, the
// fields of a line, decimal numbers, and fields as a refusal shows them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

// The lines of a registers file in order, numbered from 1: a leading UTF-8
// byte-order mark dropped, LF or CR LF ends, lines of only blanks skipped.
class RegisterFileLines {
public:
    explicit RegisterFileLines(std::string_view text);
    // False at the end; otherwise the next line that is not blank.
    bool Next(std::string_view& line);
    std::size_t Number() const { return number_; }

private:
    std::string_view rest_;
    std::size_t number_ = 0;
};

inline constexpr std::size_t kMostRegisterFields = 4;
using RegisterFields = std::array<std::string_view, kMostRegisterFields>;

// The count of comma-separated fields in `line`. When there are at most
// kMostRegisterFields, they are in `fields`, each trimmed of blanks and tabs;
// a line of many commas costs no memory.
std::size_t SplitRegisterFields(std::string_view line, RegisterFields& fields);

// A field quoted, cut to 24 characters, bytes other than printable ASCII as
// "?": a binary file cannot garble a terminal or a dialog.
std::string ShownField(std::string_view field);

// Reads a field of decimal digits (leading zeros allowed, no sign) not above
// `max`. Empty when it does; otherwise why not, the field called `name`.
std::string ReadDecimalField(std::string_view name, std::string_view field, uint32_t max,
                             uint32_t& number);

}  // namespace tarvik
