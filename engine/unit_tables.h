// The register tables behind one port: one pair per served unit, or, with
// units off, the one pair every unit id reads and writes.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/register_tables.h"

namespace tarvik {

inline constexpr int kUnitIdCount = 256;  // a unit id is one byte

// Which unit ids are served; none means units are off.
using UnitSet = std::bitset<kUnitIdCount>;

// The ids in `units`, ascending.
std::vector<int> UnitIds(const UnitSet& units);

class UnitTables {
public:
    // Units off: one pair of tables for every unit id.
    UnitTables();
    // A pair of tables, all 0, for each unit in `served`; with none, units
    // are off as above.
    explicit UnitTables(const UnitSet& served);

    bool UnitsOn() const { return served_.any(); }
    // Empty when units are off.
    const UnitSet& Served() const { return served_; }

    // The tables requests to `unit` go to: with units off always the one
    // pair; with units on the unit's own, or null for an id not served,
    // including any outside 0..255. Constant time.
    RegisterTables* Of(int unit);
    const RegisterTables* Of(int unit) const;

    // Units off: the one pair. Units on: the lowest served unit's pair.
    RegisterTables& First() { return tables_[0]; }
    const RegisterTables& First() const { return tables_[0]; }

private:
    static constexpr uint16_t kNotServed = 0xFFFF;

    UnitSet served_;
    // Where each unit id's tables are in tables_; unused with units off.
    std::array<uint16_t, kUnitIdCount> slot_{};
    // On the heap, in ascending unit order (256 units hold 4 MiB); never
    // resized, so a pointer from Of stays valid until this object is
    // assigned to or destroyed.
    std::vector<RegisterTables> tables_;
};

}  // namespace tarvik
