// The registers file: the values of both register tables as CSV text, so an
// operator can keep them between runs and load them at start.
//
//   table,index,value
//   holding,0,1234
//   input,17,65535
//
// The header line comes first; each entry names a table (holding or input),
// an index 0..2047 and a value 0..65535, all in plain decimal digits (leading
// zeros allowed, no sign). Blanks and tabs around a field are ignored; lines
// that are empty or hold only blanks are skipped, before the header too.
// Lines end in LF or CR LF, the last one may have no end, and a UTF-8
// byte-order mark may lead. No quoting: a field never holds a comma.
// Entries not in the file are 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

inline constexpr std::size_t kRegisterTableSize = 2048;
inline constexpr std::string_view kRegisterFileHeader = "table,index,value";

struct RegisterValues {
    std::array<uint16_t, kRegisterTableSize> holding{}, input{};

    bool operator==(const RegisterValues&) const = default;
};

struct RegisterFileResult {
    bool ok = false;
    RegisterValues values;  // all 0 unless ok
    // When not ok: "<path>: line N: <reason>" for a line that is refused,
    // "<path>: <reason>" for the file as a whole.
    std::string error;
};

// All or nothing: the first line that does not parse, names an unknown
// table, holds an index or value out of range, or repeats a table and index
// refuses the whole text. `pathForMessages` only names the file in `error`.
RegisterFileResult ParseRegisterFile(std::string_view text, const std::string& pathForMessages);

// Reads `path` through ReadSmallFile (a regular file of at most 1 MiB), then
// parses it.
RegisterFileResult LoadRegisterFile(const std::string& path);

// The header, then every entry that is not 0: holding before input, index
// ascending, each line ended by LF. Parses back to `values`.
std::string FormatRegisterFile(const RegisterValues& values);

}  // namespace tarvik
