#include "config/register_file.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    const std::string text = FormatRegisterFile(Sample());
    EXPECT_EQ(text,
              "table,index,value\n"
              "holding,0,1\nholding,100,40001\nholding,2047,65535\n"
              "input,7,30001\n");
    const RegisterFileResult back = ParseRegisterFile(text, "r.csv");
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.values, Sample());
    EXPECT_EQ(FormatRegisterFile(RegisterValues{}), "table,index,value\n");
}

TEST(RegisterFile, AcceptsWindowsFilesBlankLinesAndBlanksAroundFields) {
    const std::string cases[] = {
        "\xEF\xBB\xBFtable,index,value\r\nholding,100,40001\r\ninput,7,30001\r\n"
        "holding,0,1\r\nholding,2047,65535",
        "\n \t\ntable , index,\tvalue\n\nholding, 0100 ,40001\ninput,7,30001\n"
        "holding,0,00001\n\n  holding ,2047,65535\ninput,8,0\n\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const RegisterFileResult read = ParseRegisterFile(text, "r.csv");
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.values, Sample());
    }
}

TEST(RegisterFile, RefusesTheWholeFileAtTheFirstBadLine) {
    const std::string head = "table,index,value\nholding,1,1\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "r.csv: empty, expected the header line table,index,value"},
        {"\r\n \n", "r.csv: empty, expected the header line table,index,value"},
        {"\nholding,1,1\n", "r.csv: line 2: expected the header line table,index,value"},
        {"Table,Index,Value\n", "r.csv: line 1: expected the header line table,index,value"},
        {"table,index,value,\n", "r.csv: line 1: expected the header line table,index,value"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFtable,index,value\n",
         "r.csv: line 1: expected the header line table,index,value"},
        {head + "holding,2\n", "r.csv: line 3: expected 3 fields table,index,value, found 2"},
        {head + "holding,2,3,\n", "r.csv: line 3: expected 3 fields table,index,value, found 4"},
        {head + "\"holding\",2,3\n", "r.csv: line 3: unknown table \"\"holding\"\" (holding or input)"},
        {head + "Holding,2,3\n", "r.csv: line 3: unknown table \"Holding\" (holding or input)"},
        {head + "coil\x01\xff,2,3\n", "r.csv: line 3: unknown table \"coil??\" (holding or input)"},
        {head + ",2,3\n", "r.csv: line 3: unknown table \"\" (holding or input)"},
        {head + "input,,3\n", "r.csv: line 3: index is empty"},
        {head + "input,2,\r\n", "r.csv: line 3: value is empty"},
        {head + "input,-2,3\n", "r.csv: line 3: index \"-2\" is not a decimal number (digits only)"},
        {head + "input,+2,3\n", "r.csv: line 3: index \"+2\" is not a decimal number (digits only)"},
        {head + "input,2,3 4\n", "r.csv: line 3: value \"3 4\" is not a decimal number (digits only)"},
        {head + "input,2,3\r\r\n", "r.csv: line 3: value \"3?\" is not a decimal number (digits only)"},
        {head + "input,2048,3\n", "r.csv: line 3: index \"2048\" is out of range 0..2047"},
        {head + "input,2,65536\n", "r.csv: line 3: value \"65536\" is out of range 0..65535"},
        {head + "input,2," + std::string(30, '9') + "\n",
         "r.csv: line 3: value \"" + std::string(24, '9') + "...\" is out of range 0..65535"},
        {head + "input,1,5\n\nholding,0001,2\n", "r.csv: line 5: holding 1 repeated (first on line 2)"},
        {head + "input,1,0\ninput,1,0", "r.csv: line 4: input 1 repeated (first on line 3)"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(::testing::PrintToString(text.substr(0, 60)));
        const RegisterFileResult read = ParseRegisterFile(text, "r.csv");
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, error);
        EXPECT_EQ(read.values, RegisterValues{});
    }
}

TEST(RegisterFile, LoadsAFullFileOf4096EntriesAndRefusesFilesItMustNotRead) {
    RegisterValues full;
    for (std::size_t i = 0; i < kRegisterTableSize; ++i) {
        full.holding[i] = static_cast<uint16_t>(65535 - i);
        full.input[i] = static_cast<uint16_t>(i * 31 + 1);
    }
    testing::TempFolder folder;
    const std::string text = FormatRegisterFile(full);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 4096);
    folder.Write("plant.csv", text);
    const RegisterFileResult read = LoadRegisterFile(folder.Path() + "plant.csv");
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.values, full);

    std::string big = text;
    big.resize(std::size_t{1} << 21, '\n');
    folder.Write("big.csv", big);
    EXPECT_EQ(LoadRegisterFile(folder.Path() + "big.csv").error,
              folder.Path() + "big.csv: larger than 1 MiB");
    EXPECT_EQ(LoadRegisterFile(folder.Path() + "none.csv").error,
              folder.Path() + "none.csv: no such file");
    EXPECT_EQ(LoadRegisterFile(folder.Path()).error, folder.Path() + ": not a regular file");
}

}  // namespace
}  // namespace tarvik
