// Several units behind one port: each served unit's own tables, the answer
// and trace of a request to a unit not served, and the ", unit N" ending of
// request lines; the tables themselves.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "engine/unit_tables.h"
#include "engine_fakes.h"
#include "testkit/request_frames.h"

namespace tarvik::testing {
namespace {

UnitSet Units(std::initializer_list<int> ids) {
    UnitSet set;
    for (int id : ids) set.set(static_cast<std::size_t>(id));
    return set;
}

struct UnitsRig : EngineRig {
    explicit UnitsRig(AbsentAnswer absent = AbsentAnswer::GatewayTargetFailed,
                      bool simulatePAT = false)
        : EngineRig(simulatePAT) {
        engine.ServeUnits(Units({1, 2, 247}), absent);
    }
    RegisterTable& HoldingOf(int unit) { return engine.Units().Of(unit)->HoldingRegisters; }
};

TEST(Units, EachServedUnitReadsAndWritesItsOwnTables) {
    UnitsRig rig;
    rig.engine.Units().Of(2)->InputRegisters[5] = 0x0102;
    rig.Feed("00 01 00 00 00 06 01 06 00 03 00 2A");                 // unit 1, register 3 = 42
    rig.Feed("00 02 00 00 00 06 02 06 00 03 00 07");                 // unit 2, register 3 = 7
    rig.Feed("00 03 00 00 00 0B F7 10 00 00 00 02 04 00 05 00 06");  // unit 247, 0..1
    EXPECT_EQ(rig.HoldingOf(1)[3], 42);
    EXPECT_EQ(rig.HoldingOf(2)[3], 7);
    EXPECT_EQ(rig.HoldingOf(247)[3], 0);
    EXPECT_EQ(rig.HoldingOf(247)[0], 5);
    EXPECT_EQ(rig.HoldingOf(1)[0], 0);

    // Unit, function, register: the value read.
    for (const auto& [unit, function, at, value] :
         {std::tuple{1, 3, 3, 42}, {2, 3, 3, 7}, {2, 4, 5, 0x0102}, {1, 4, 5, 0}}) {
        rig.Feed(HexOf(ReadRequest(9, function, at, 1, unit)));
        EXPECT_EQ(rig.LastWire(),
                  HexOf(Frame(9, unit, ByteOf(function) + "\x02" + PutWord(value))));
    }
    // Registers() is the lowest served unit's pair, as the window starts on it.
    EXPECT_EQ(&rig.engine.Registers(), rig.engine.Units().Of(1));
}

struct AbsentCase {
    const char* name;
    AbsentAnswer absent;
    const char* request;
    const char* wire;  // nullptr: no answer
};

const AbsentCase kAbsentCases[] = {
    {"read, 0B", AbsentAnswer::GatewayTargetFailed, "00 09 00 00 00 06 03 03 00 00 00 01",
     "00 09 00 00 00 03 03 83 0B"},
    {"write, 0A", AbsentAnswer::GatewayPathUnavailable, "12 34 00 00 00 06 00 06 00 00 00 05",
     "12 34 00 00 00 03 00 86 0A"},
    {"write several, silent", AbsentAnswer::Silent,
     "00 09 00 00 00 0B FF 10 00 00 00 02 04 00 05 00 06", nullptr},
    // The unit comes before the function: an ignored or unknown one is
    // answered for the absent unit all the same.
    {"read coils, 0B", AbsentAnswer::GatewayTargetFailed, "00 09 00 00 00 06 04 01 00 00 00 01",
     "00 09 00 00 00 03 04 81 0B"},
    {"unknown function 0x2B, 0A", AbsentAnswer::GatewayPathUnavailable,
     "00 09 00 00 00 03 05 2B 0E", "00 09 00 00 00 03 05 AB 0A"},
    {"too short for its function, 0B", AbsentAnswer::GatewayTargetFailed,
     "00 09 00 00 00 03 06 10 00", "00 09 00 00 00 03 06 90 0B"},
};

TEST(Units, UnitNotServedIsAnsweredPerAbsentAndChangesNothing) {
    for (const AbsentCase& c : kAbsentCases) {
        SCOPED_TRACE(c.name);
        UnitsRig rig(c.absent);
        rig.options.showReads = false;  // the line is written all the same
        rig.options.showRaw = true;
        rig.Feed(c.request);
        const Packet request = Bytes(c.request);
        const int unit = static_cast<unsigned char>(request[6]);
        Lines lines{"RAW <- " + std::string(c.request),
                    "REQ " +
                        Hex4(256 * static_cast<unsigned char>(request[0]) +
                             static_cast<unsigned char>(request[1])) +
                        " Unit " + Decimal(unit) + " not served"};
        if (c.wire == nullptr) {
            EXPECT_TRUE(rig.rec.answers.empty());
        } else {
            ASSERT_EQ(rig.rec.answers.size(), 1u);
            EXPECT_EQ(rig.LastWire(), c.wire);
            EXPECT_TRUE(rig.rec.answers[0].view);  // dumped as Show raw data says
            lines.push_back("DISPATCH " + Decimal(rig.rec.answers[0].functionByte));
        }
        EXPECT_EQ(rig.rec.lines, lines);
        for (int served : {1, 2, 247}) {
            EXPECT_EQ(rig.HoldingOf(served), RegisterTable{}) << served;
        }
        EXPECT_EQ(rig.engine.PacketsReceived(), 1);
    }
}

// The request line (only it) ends with the unit; the register values, the
// answer and the empty packet line do not.
TEST(Units, RequestLinesNameTheUnit) {
    UnitsRig rig;
    rig.Feed(
        "00 06 00 00 00 09 02 10 00 0A 00 01 02 00 01  00 07 00 00 00 05 F7 04 00 00 00 "
        "00 08 00 00 00 01 02");
    EXPECT_EQ(rig.rec.lines,
              (Lines{"REQ 0006 Write Holding Registers 10, length 1, unit 2",
                     "REQ 0006 Registervalue 40010, value 0001", "DISPATCH 16",
                     "ANS 0006 0000 Write Holding Registers 10, length 1",
                     "REQ 0007 Frame too short, function 4, unit 247", "DISPATCH 132",
                     "REQ 0008 Empty packet, ProtocolIdentifier 0000"}));
}

// Canned answers serve every unit alike; an absent unit still gets its
// exception, not a canned answer.
TEST(Units, CannedAnswersForEveryServedUnit) {
    UnitsRig rig(AbsentAnswer::GatewayTargetFailed, /*simulatePAT=*/true);
    rig.Feed("00 01 00 00 00 06 01 03 01 2C 00 04");  // 300, count 4
    const std::string one = rig.LastWire().substr(21);
    rig.Feed("00 01 00 00 00 06 F7 03 01 2C 00 04");
    EXPECT_EQ(rig.LastWire().substr(21), one);
    EXPECT_EQ(one, "03 08 99 9A 99 99 99 99 40 24");
    EXPECT_EQ(rig.rec.answers[0].functionByte, 3);
    rig.Feed("00 01 00 00 00 06 08 03 01 2C 00 04");
    EXPECT_EQ(rig.LastWire(), "00 01 00 00 00 03 08 83 0B");
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
    const UnitSet served = Units({0, 1, 2, 3, 5, 247, 255});
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
}  // namespace tarvik::testing
