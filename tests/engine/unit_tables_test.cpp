#include "engine/unit_tables.h"

#include <gtest/gtest.h>

#include <set>

namespace tarvik {
namespace {

UnitSet SetOf(std::initializer_list<int> ids) {
    UnitSet set;
    for (const int id : ids) set.set(static_cast<std::size_t>(id));
    return set;
}

TEST(UnitTables, UnitsOffEveryIdEvenOutOfRangeSharesTheOnePair) {
    for (const UnitTables& tables : {UnitTables(), UnitTables(UnitSet{})}) {
        EXPECT_FALSE(tables.UnitsOn());
        for (const int unit : {0, 1, 17, 255, -1, 256, 70000}) {
            EXPECT_EQ(tables.Of(unit), &tables.First()) << unit;
        }
    }
}

TEST(UnitTables, EachServedUnitHasItsOwnPairAndOthersNone) {
    const UnitSet served = SetOf({0, 1, 2, 3, 5, 247, 255});
    UnitTables tables(served);
    ASSERT_TRUE(tables.UnitsOn());
    EXPECT_EQ(tables.Served(), served);
    EXPECT_EQ(tables.First().HoldingRegisters.data(), tables.Of(0)->HoldingRegisters.data());

    std::set<const RegisterTables*> distinct;
    for (int unit = -2; unit < kUnitIdCount + 2; ++unit) {
        RegisterTables* own = tables.Of(unit);
        const bool isServed = unit >= 0 && unit < kUnitIdCount && served.test(unit);
        ASSERT_EQ(own != nullptr, isServed) << unit;
        if (own == nullptr) continue;
        distinct.insert(own);
        // Every entry starts at 0; a unit's writes show only in its own.
        EXPECT_EQ(own->HoldingRegisters[2047], 0) << unit;
        EXPECT_EQ(own->InputRegisters[0], 0) << unit;
        own->HoldingRegisters[2047] = unit + 1;
        own->InputRegisters[0] = 1000 + unit;
    }
    EXPECT_EQ(distinct.size(), served.count());
    for (const int unit : UnitIds(served)) {
        EXPECT_EQ(tables.Of(unit)->HoldingRegisters[2047], unit + 1);
        EXPECT_EQ(std::as_const(tables).Of(unit)->InputRegisters[0], 1000 + unit);
    }
}

TEST(UnitTables, AllUnitsServedAndCopiesIndependent) {
    UnitTables all(UnitSet{}.set());
    ASSERT_EQ(UnitIds(all.Served()).size(), 256u);
    EXPECT_EQ(UnitIds(all.Served()).back(), 255);
    all.Of(255)->HoldingRegisters[7] = 65535;
    UnitTables copy = all;
    copy.Of(255)->HoldingRegisters[7] = 1;
    EXPECT_EQ(all.Of(255)->HoldingRegisters[7], 65535);
    EXPECT_NE(copy.Of(255), all.Of(255));
    all = copy;
    EXPECT_EQ(all.Of(255)->HoldingRegisters[7], 1);
}

}  // namespace
}  // namespace tarvik
