#include "engine/unit_tables.h"

#include <algorithm>
#include <utility>

namespace tarvik {

std::vector<int> UnitIds(const UnitSet& units) {
    std::vector<int> ids;
    ids.reserve(units.count());
    for (int unit = 0; unit < kUnitIdCount; ++unit) {
        if (units.test(static_cast<std::size_t>(unit))) ids.push_back(unit);
    }
    return ids;
}

UnitTables::UnitTables() : UnitTables(UnitSet{}) {}

UnitTables::UnitTables(const UnitSet& served) : served_(served) {
    slot_.fill(kNotServed);
    uint16_t next = 0;
    for (const int unit : UnitIds(served_)) slot_[static_cast<std::size_t>(unit)] = next++;
    // Value-initialised: every entry starts at 0.
    tables_.resize(std::max<std::size_t>(next, 1));
}

RegisterTables* UnitTables::Of(int unit) {
    return const_cast<RegisterTables*>(std::as_const(*this).Of(unit));
}

const RegisterTables* UnitTables::Of(int unit) const {
    if (!UnitsOn()) return &tables_[0];
    if (unit < 0 || unit >= kUnitIdCount) return nullptr;
    const uint16_t slot = slot_[static_cast<std::size_t>(unit)];
    return slot == kNotServed ? nullptr : &tables_[slot];
}

}  // namespace tarvik
