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
//
// With units served, each has its tables, and the file may name the unit
// first (0..255); the header line decides the form:
//
//   unit,table,index,value
//   3,holding,0,1234
//   247,input,17,65535
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "engine/unit_tables.h"

namespace tarvik {

inline constexpr std::size_t kRegisterTableSize = 2048;
inline constexpr std::string_view kRegisterFileHeader = "table,index,value";
inline constexpr std::string_view kUnitRegisterFileHeader = "unit,table,index,value";
// Room for every unit's full tables: 247 units write about 23 MB.
inline constexpr std::size_t kRegisterFileLimit = std::size_t{32} << 20;

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

// With units off. All or nothing: the first line that does not parse,
// names an unknown table, holds an index or value out of range, or repeats
// a table and index refuses the whole text; so does a header of the unit
// form, which is named. `pathForMessages` only names the file in `error`.
RegisterFileResult ParseRegisterFile(std::string_view text, const std::string& pathForMessages);

// Reads `path` through ReadSmallFile (a regular file of at most
// kRegisterFileLimit bytes), then parses it.
RegisterFileResult LoadRegisterFile(const std::string& path);

// The header, then every entry that is not 0: holding before input, index
// ascending, each line ended by LF. Parses back to `values`.
std::string FormatRegisterFile(const RegisterValues& values);

// Each served unit's values, by unit id.
using UnitRegisterValues = std::map<int, RegisterValues>;

struct UnitRegisterFileResult {
    bool ok = false;
    UnitRegisterValues units;  // when ok, one entry per served unit; else empty
    std::string error;         // as RegisterFileResult's
};

// With units served: the unit form, each entry going to its unit (a unit
// not served refuses the text, its line named), or today's form, each entry
// going to every served unit. Otherwise as ParseRegisterFile; a unit and
// table and index repeated refuses the text. With none served, only today's
// form is read, and `units` is empty.
UnitRegisterFileResult ParseUnitRegisterFile(std::string_view text, const UnitSet& served,
                                             const std::string& pathForMessages);
UnitRegisterFileResult LoadUnitRegisterFile(const std::string& path, const UnitSet& served);

// The unit form's header, then for each unit ascending every entry that is
// not 0, holding before input, index ascending, each line ended by LF.
// Parses back to `units` with their ids as the served set.
std::string FormatUnitRegisterFile(const UnitRegisterValues& units);

}  // namespace tarvik
