#include "engine/generators.h"

#include <gtest/gtest.h>

#include <deque>
#include <limits>
#include <map>

#include "engine/point.h"
#include "engine_fakes.h"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using VT = ValueType;
using testing::ScriptedRandom;

Generator Make(GeneratorKind kind, std::vector<double> numbers, std::chrono::milliseconds period,
               std::size_t point = 0) {
    return Generator{point, kind, std::move(numbers), period, {}};
}

TEST(Generators, EachKindAtChosenTimes) {
    const Generator ramp = Make(GeneratorKind::Ramp, {0, 1000}, 10s);
    const Generator sine = Make(GeneratorKind::Sine, {50, 20}, 30s);
    const Generator counter = Make(GeneratorKind::Counter, {1}, 1s);
    const Generator down = Make(GeneratorKind::Counter, {-1}, 1s);
    const Generator half = Make(GeneratorKind::Counter, {1.5}, 1s);
    const Generator huge = Make(GeneratorKind::Counter, {0x1p62}, 1s);
    const Generator steps = Make(GeneratorKind::Steps, {10, 20, 30}, 5s);
    const struct {
        const Generator& generator;
        VT type;
        std::chrono::milliseconds t;
        TypedValue value;
    } cases[] = {
        {ramp, VT::Uint16, 0ms, uint64_t{0}},
        {ramp, VT::Uint16, 2500ms, uint64_t{250}},
        {ramp, VT::Float32, 3333ms, static_cast<double>(333.3f)},
        {ramp, VT::Uint16, 9999ms, uint64_t{1000}},  // 999.9 rounded
        {ramp, VT::Uint16, 10000ms, uint64_t{0}},    // the next period starts over
        {ramp, VT::Int16, -5000ms, int64_t{0}},      // before the start: t = 0
        {sine, VT::Float32, 0ms, 50.0},
        {sine, VT::Float32, 7500ms, 70.0},
        {sine, VT::Int16, 15000ms, int64_t{50}},
        {sine, VT::Int16, 22500ms, int64_t{30}},
        {sine, VT::Float64, 37500ms, 70.0},
        {counter, VT::Uint16, 999ms, uint64_t{0}},
        {counter, VT::Uint16, 1000ms, uint64_t{1}},
        {counter, VT::Uint16, 65'536'000ms, uint64_t{0}},  // wraps
        {counter, VT::Uint16, 65'537'000ms, uint64_t{1}},
        {counter, VT::Int16, 32'768'000ms, int64_t{-32768}},
        {down, VT::Uint16, 1000ms, uint64_t{65535}},
        {down, VT::Int32, 3000ms, int64_t{-3}},
        {half, VT::Int32, 1000ms, int64_t{2}},  // 1.5
        {half, VT::Int32, 3000ms, int64_t{5}},  // 4.5
        {half, VT::Float32, 3000ms, 4.5},
        {huge, VT::Int64, 2000ms, std::numeric_limits<int64_t>::min()},
        {huge, VT::Uint64, 3000ms, uint64_t{0xC000000000000000}},
        {huge, VT::Float64, 4000ms, 0x1p64},  // floats do not wrap
        {steps, VT::Int16, 0ms, int64_t{10}},
        {steps, VT::Int16, 4999ms, int64_t{10}},
        {steps, VT::Int16, 5000ms, int64_t{20}},
        {steps, VT::Int16, 10000ms, int64_t{30}},
        {steps, VT::Int16, 15000ms, int64_t{10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(KindName(c.generator.kind)) + " " + std::string(TypeName(c.type)) +
                     " at " + std::to_string(c.t.count()) + " ms");
        const TypedValue value = GeneratorValue(c.generator, c.type, c.t);
        if (std::holds_alternative<double>(c.value)) {
            EXPECT_NEAR(AsDouble(value), AsDouble(c.value), 1e-9);
        } else {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(Generators, RandomDrawsStayWithinTheBounds) {
    const Generator small = Make(GeneratorKind::Random, {-5, 5}, 500ms);
    const Generator fractional = Make(GeneratorKind::Random, {-4.6, 4.6}, 500ms);
    const Generator narrow = Make(GeneratorKind::Random, {0.2, 0.8}, 500ms);
    const Generator wide = Make(GeneratorKind::Random, {-1e40, 1e40}, 500ms);
    const double almostOne = 1.0 - 0x1p-53;
    const struct {
        const Generator& generator;
        VT type;
        std::deque<double> draws;
        TypedValue value;
    } cases[] = {
        {small, VT::Int16, {0.0}, int64_t{-5}},
        {small, VT::Int16, {almostOne}, int64_t{5}},
        {small, VT::Int16, {0.5}, int64_t{0}},  // 11 values, the sixth
        {fractional, VT::Int32, {0.0}, int64_t{-4}},
        {fractional, VT::Int32, {almostOne}, int64_t{4}},
        {narrow, VT::Uint16, {0.7}, uint64_t{0}},
        // A span past 53 bits draws twice, so its top is reachable.
        {wide, VT::Uint64, {almostOne, almostOne}, std::numeric_limits<uint64_t>::max()},
        {wide, VT::Uint64, {0.0, 0.5}, uint64_t{1024}},
        {wide, VT::Int64, {0.0, 0.0}, std::numeric_limits<int64_t>::min()},
        {small, VT::Float32, {0.25}, -2.5},
        {wide, VT::Float32, {0.0}, static_cast<double>(-FLT_MAX)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(TypeName(c.type)) + " u=" + std::to_string(c.draws.front()));
        ScriptedRandom random;
        random.values = c.draws;
        EXPECT_EQ(RandomDraw(c.generator, c.type, random), c.value);
        EXPECT_TRUE(random.values.empty());
    }
}

// Units 1 and 2 have tables; any other unit has none.
struct Plant {
    std::map<int, RegisterTables> units{{1, {}}, {2, {}}};
    TablesOfUnit tablesOf = [this](int unit) -> RegisterTables* {
        const auto found = units.find(unit);
        return found == units.end() ? nullptr : &found->second;
    };
};

TEST(Points, AViewOfTheRegistersInTheirOrder) {
    Plant plant;
    RegisterTables& tables = plant.units[1];
    const Point flow{"Flow", PointTable::Holding, 10, VT::Float32, WordOrder::CDAB, 1};
    const Point level{"Level", PointTable::Input, 10, VT::Uint16, WordOrder::ABCD, 1};
    const Point last{"Last", PointTable::Holding, 2046, VT::Float32, WordOrder::ABCD, 1};
    const Point past{"Past", PointTable::Holding, 2047, VT::Float32, WordOrder::ABCD, 1};
    WritePoint(flow, tables, 1.0);
    WritePoint(level, tables, uint64_t{333});
    WritePoint(past, tables, 1.0);  // does not fit: nothing written
    EXPECT_EQ(tables.HoldingRegisters[9], 0);
    EXPECT_EQ(tables.HoldingRegisters[10], 0x0000);
    EXPECT_EQ(tables.HoldingRegisters[11], 0x3F80);
    EXPECT_EQ(tables.HoldingRegisters[12], 0);
    EXPECT_EQ(tables.InputRegisters[10], 333);
    EXPECT_EQ(tables.HoldingRegisters[2047], 0);
    // A master's write to the registers is what the point reads.
    tables.HoldingRegisters[11] = 0x4248;
    EXPECT_EQ(ReadPoint(flow, tables), TypedValue(50.0));
    tables.HoldingRegisters[2046] = 0x1BF80;  // a stray bit above the word is not read
    EXPECT_EQ(ReadPoint(last, tables), TypedValue(-1.0));
    EXPECT_EQ(ReadPoint(past, tables), TypedValue(0.0));
    const Point elsewhere{"Other", PointTable::Input, 0, VT::Int16, WordOrder::ABCD, 9};
    const std::vector<Point> points{flow, level, elsewhere};
    EXPECT_EQ(PointValuesText(points, plant.tablesOf), "Flow=50.0 Level=333");
    EXPECT_EQ(PointValuesText({}, plant.tablesOf), "");
}

TEST(Generators, UpdaterWritesOnTheClockAndOverwritesAMastersWrite) {
    Plant plant;
    const std::vector<Point> points{
        {"Level", PointTable::Input, 20, VT::Uint16, WordOrder::ABCD, 1},
        {"Noise", PointTable::Holding, 50, VT::Int16, WordOrder::ABCD, 2},
        {"Energy", PointTable::Holding, 30, VT::Uint64, WordOrder::CDAB, 2},
        {"Gone", PointTable::Holding, 0, VT::Int16, WordOrder::ABCD, 7},
    };
    GeneratorUpdater updater(
        {Make(GeneratorKind::Ramp, {0, 1000}, 10s, 0),
         Make(GeneratorKind::Random, {-5, 5}, 500ms, 1), Make(GeneratorKind::Counter, {1}, 1s, 2),
         Make(GeneratorKind::Steps, {1}, 1s, 3), Make(GeneratorKind::Steps, {1}, 1s, 99)});
    ScriptedRandom random;
    random.values = {0.0, 1.0 - 0x1p-53};
    RegisterTables& one = plant.units[1];
    RegisterTables& two = plant.units[2];

    updater.Update(points, plant.tablesOf, 0ms, random);
    updater.Update(points, plant.tablesOf, 100ms, random);
    updater.Update(points, plant.tablesOf, 499ms, random);
    EXPECT_EQ(random.draws, 1);                   // one interval, one draw
    EXPECT_EQ(two.HoldingRegisters[50], 0xFFFB);  // -5

    two.HoldingRegisters[50] = 1234;  // a master's write
    updater.Update(points, plant.tablesOf, 2500ms, random);
    EXPECT_EQ(random.draws, 2);
    EXPECT_EQ(two.HoldingRegisters[50], 5);
    EXPECT_EQ(one.InputRegisters[20], 250);
    EXPECT_EQ(two.HoldingRegisters[30], 2);  // counter, lowest word first
    EXPECT_EQ(two.HoldingRegisters[33], 0);

    two.HoldingRegisters[50] = 1234;
    updater.Update(points, plant.tablesOf, 2600ms, random);
    EXPECT_EQ(random.draws, 2);
    EXPECT_EQ(two.HoldingRegisters[50], 5);  // the drawn value, written again
}

}  // namespace
}  // namespace tarvik
