// The registers file in both its forms, with and without a unit column:
// written, read back, and refused whole at the first bad line.
#include "config/register_file.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;

RegisterValues Sample() {
    RegisterValues values;
    values.holding[0] = 1;
    values.holding[2047] = 65535;
    values.holding[100] = 40001;
    values.input[7] = 30001;
    return values;
}

TEST(RegisterFile, WritesOnlyNonZeroEntriesHoldingFirstAndReadsThemBack) {
    EXPECT_EQ(FormatRegisterFile(RegisterValues{}), "table,index,value\n");
    const std::string text = FormatRegisterFile(Sample());
    EXPECT_EQ(
        text,
        "table,index,value\nholding,0,1\nholding,100,40001\nholding,2047,65535\ninput,7,30001\n");
    // Windows files, blank lines and blanks around fields read the same.
    for (const std::string& same :
         {text,
          "\xEF\xBB\xBFtable,index,value\r\nholding,100,40001\r\ninput,7,30001\r\n"
          "holding,0,1\r\nholding,2047,65535"s,
          "\n \t\ntable , index,\tvalue\n\nholding, 0100 ,40001\ninput,7,30001\n"
          "holding,0,00001\n\n  holding ,2047,65535\ninput,8,0\n\n"s}) {
        SCOPED_TRACE(::testing::PrintToString(same));
        const RegisterFileResult read = ParseRegisterFile(same, "r.csv");
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.values, Sample());
    }
}

TEST(RegisterFile, RefusesTheWholeFileAtTheFirstBadLine) {
    const std::string head = "table,index,value\nholding,1,1\n";
    const std::string header = "expected the header line table,index,value";
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty, " + header},
        {"\nholding,1,1\n", "line 2: " + header},
        {"Table,Index,Value\n", "line 1: " + header},
        {"\xEF\xBB\xBF\xEF\xBB\xBFtable,index,value\n", "line 1: " + header},
        {"\nunit , table,index,value\n1,holding,1,1\n",
         "line 2: header unit,table,index,value names units, but no units are served"},
        {head + "holding,2\n", "line 3: expected 3 fields table,index,value, found 2"},
        {head + "holding,2,3,\n", "line 3: expected 3 fields table,index,value, found 4"},
        {head + "Holding,2,3\n", "line 3: unknown table \"Holding\" (holding or input)"},
        {head + "coil\x01\xff,2,3\n", "line 3: unknown table \"coil??\" (holding or input)"},
        {head + "input,,3\n", "line 3: index is empty"},
        {head + "input,2,\r\n", "line 3: value is empty"},
        {head + "input,-2,3\n", "line 3: index \"-2\" is not a decimal number (digits only)"},
        {head + "input,2,3 4\n", "line 3: value \"3 4\" is not a decimal number (digits only)"},
        {head + "input,2,3\r\r\n", "line 3: value \"3?\" is not a decimal number (digits only)"},
        {head + "input,2048,3\n", "line 3: index \"2048\" is out of range 0..2047"},
        {head + "input,2,65536\n", "line 3: value \"65536\" is out of range 0..65535"},
        {head + "input,2," + std::string(30, '9') + "\n",
         "line 3: value \"" + std::string(24, '9') + "...\" is out of range 0..65535"},
        {head + "input,1,5\n\nholding,0001,2\n", "line 5: holding 1 repeated (first on line 2)"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(::testing::PrintToString(text.substr(0, 60)));
        const RegisterFileResult read = ParseRegisterFile(text, "r.csv");
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, "r.csv: " + error);
        EXPECT_EQ(read.values, RegisterValues{});
    }
}

TEST(RegisterFile, LoadsAFullFileOf4096EntriesAndRefusesFilesItMustNotRead) {
    RegisterValues full;
    for (std::size_t i = 0; i < kRegisterTableSize; ++i) {
        full.holding[i] = static_cast<uint16_t>(65535 - i);
        full.input[i] = static_cast<uint16_t>(i * 31 + 1);
    }
    const testing::TempFolder folder;
    const std::string& at = folder.Path();
    std::string text = FormatRegisterFile(full);
    folder.Write("plant.csv", text);
    const RegisterFileResult read = LoadRegisterFile(at + "plant.csv");
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.values, full);

    // Past the settings file's 1 MiB, up to 32 MiB: blank lines are skipped.
    text.resize(kRegisterFileLimit, '\n');
    folder.Write("big.csv", text);
    EXPECT_EQ(LoadRegisterFile(at + "big.csv").values, full);
    text += '\n';
    folder.Write("big.csv", text);
    EXPECT_EQ(LoadRegisterFile(at + "big.csv").error, at + "big.csv: larger than 32 MiB");
    EXPECT_EQ(LoadRegisterFile(at).error, at + ": not a regular file");
}

using namespace std::string_literals;

UnitSet SetOf(std::initializer_list<int> ids) {
    UnitSet set;
    for (const int id : ids) set.set(static_cast<std::size_t>(id));
    return set;
}

const UnitSet kServed = SetOf({0, 3, 5, 247});

UnitRegisterValues UnitSample() {
    UnitRegisterValues units{{0, {}}, {3, {}}, {5, {}}, {247, {}}};
    units[3].holding[0] = 1;
    units[3].input[2047] = 65535;
    units[5].holding[0] = 2;  // the same entry as unit 3's: no repeat
    units[247].input[17] = 30001;
    units[247].holding[100] = 40001;
    return units;
}

TEST(UnitRegisterFile, WritesEachUnitsNonZeroEntriesAndReadsThemBack) {
    const std::string text = FormatUnitRegisterFile(UnitSample());
    EXPECT_EQ(text,
              "unit,table,index,value\n3,holding,0,1\n3,input,2047,65535\n5,holding,0,2\n"
              "247,holding,100,40001\n247,input,17,30001\n");
    for (const std::string& same :
         {text,
          "\xEF\xBB\xBF\r\nunit ,table,\tindex,value\r\n247,input,17,30001\r\n 03 ,holding,0,1\r\n"
          "5,holding,0,2\r\n\r\n247,holding,0100,40001\r\n3,input,2047,65535\r\n0,input,9,0"s}) {
        SCOPED_TRACE(same);
        const UnitRegisterFileResult read = ParseUnitRegisterFile(same, kServed, "u.csv");
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.units, UnitSample());
    }
    EXPECT_EQ(FormatUnitRegisterFile({{1, {}}, {2, {}}}), "unit,table,index,value\n");
    const UnitRegisterFileResult empty =
        ParseUnitRegisterFile("unit,table,index,value\n", SetOf({1, 2}), "u.csv");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.units, (UnitRegisterValues{{1, {}}, {2, {}}}));
}

TEST(UnitRegisterFile, TodaysFormGoesToEveryServedUnit) {
    RegisterValues values;
    values.holding[4] = 7;
    values.input[2047] = 9;
    const UnitRegisterFileResult read =
        ParseUnitRegisterFile(FormatRegisterFile(values), kServed, "u.csv");
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.units,
              (UnitRegisterValues{{0, values}, {3, values}, {5, values}, {247, values}}));
}

TEST(UnitRegisterFile, RefusesTheWholeFileAtTheFirstBadLine) {
    const std::string head = "unit,table,index,value\n3,holding,1,1\n";
    const std::string header =
        "expected the header line unit,table,index,value or table,index,value";
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty, " + header},
        {"unit,table,index\n", "line 1: " + header},
        {head + "4,holding,1,1\n", "line 3: unit 4 is not served"},
        {head + "\n255,input,0,0\n", "line 4: unit 255 is not served"},
        {head + "256,input,0,0\n", "line 3: unit \"256\" is out of range 0..255"},
        {head + "x,input,0,0\n", "line 3: unit \"x\" is not a decimal number (digits only)"},
        {head + ",input,0,0\n", "line 3: unit is empty"},
        {head + "holding,1,1\n", "line 3: expected 4 fields unit,table,index,value, found 3"},
        {head + "5,holding,1,1\n003,holding,1,2\n",
         "line 4: unit 3 holding 1 repeated (first on line 2)"},
        {"table,index,value\ninput,1,1\ninput,1,1\n", "line 3: input 1 repeated (first on line 2)"},
        {"table,index,value\n3,input,1,1\n",
         "line 2: expected 3 fields table,index,value, found 4"},
        {"table,index,value\n" + std::string(100000, ','),
         "line 2: expected 3 fields table,index,value, found 100001"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        const UnitRegisterFileResult read = ParseUnitRegisterFile(text, kServed, "u.csv");
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, "u.csv: " + error);
        EXPECT_TRUE(read.units.empty());
    }
}

TEST(UnitRegisterFile, WithoutUnitsTheUnitFormIsRefusedItsHeaderNamed) {
    const std::string text = FormatUnitRegisterFile(UnitSample());
    const std::string error =
        "u.csv: line 1: header unit,table,index,value names units, but no units are served";
    EXPECT_EQ(ParseRegisterFile(text, "u.csv").error, error);
    const UnitRegisterFileResult read = ParseUnitRegisterFile(text, UnitSet{}, "u.csv");
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, error);
    // Today's form is still read; with no unit it goes nowhere.
    const UnitRegisterFileResult today =
        ParseUnitRegisterFile("table,index,value\nholding,1,1\n", UnitSet{}, "u.csv");
    EXPECT_TRUE(today.ok);
    EXPECT_TRUE(today.units.empty());
}

TEST(UnitRegisterFile, LoadsFullTablesOf247Units) {
    UnitSet served;
    for (int unit = 1; unit <= 247; ++unit) served.set(static_cast<std::size_t>(unit));
    UnitRegisterValues full;
    for (int unit = 1; unit <= 247; ++unit) {
        RegisterValues& values = full[unit];
        for (std::size_t i = 0; i < kRegisterTableSize; ++i) {
            values.holding[i] = static_cast<uint16_t>(65535 - i - static_cast<std::size_t>(unit));
            values.input[i] = static_cast<uint16_t>(60000 + unit);
        }
    }
    const testing::TempFolder folder;
    const std::string& at = folder.Path();
    std::string text = FormatUnitRegisterFile(full);
    ASSERT_GT(text.size(), std::size_t{20} << 20);
    folder.Write("plant.csv", text);
    const UnitRegisterFileResult read = LoadUnitRegisterFile(at + "plant.csv", served);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.units == full);
}

}  // namespace
}  // namespace tarvik
