#include "config/units_section.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

namespace tarvik {
namespace {

UnitsSectionResult ParseText(const std::string& section) {
    return ParseUnitsSection(ReadSectionLinesFromText("[General]\n" + section, kUnitsSection));
}

TEST(UnitsSection, ReadsServedIdsAndTheAbsentAnswer) {
    struct Case {
        std::string text;
        std::vector<int> ids;
        std::string notice;
    };
    const Case cases[] = {
        {"", {}, " (others: exception 0B)"},
        {"[Units]\n", {}, " (others: exception 0B)"},
        {"[Units]\nServed=1-3,5,247\nAbsent=0B\n",
         {1, 2, 3, 5, 247},
         "1-3, 5, 247 (others: exception 0B)"},
        {"[units]\r\n; gateway\r\nserved = 247 , 5, 1 - 3\r\nABSENT=0a\r\n",
         {1, 2, 3, 5, 247},
         "1-3, 5, 247 (others: exception 0A)"},
        {"[Units]\nAbsent=SILENT\nServed=0,255,254,7-7,009\n",
         {0, 7, 9, 254, 255},
         "0, 7, 9, 254-255 (others: silent)"},
        {"[Units]\nServed=3-4,1-5,4\nAbsent=0b\n[Other]\nServed=x\n",
         {1, 2, 3, 4, 5},
         "1-5 (others: exception 0B)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const UnitsSectionResult read = ParseText(c.text);
        ASSERT_TRUE(read.ok) << read.error.Text();
        EXPECT_EQ(UnitIds(read.units.served), c.ids);
        EXPECT_EQ(read.units.On(), !c.ids.empty());
        EXPECT_EQ(UnitsNotice(read.units), c.notice);
    }
    const UnitsSectionResult all = ParseText("[Units]\nServed=0-255\n");
    EXPECT_EQ(all.units.served.count(), 256u);
    EXPECT_EQ(UnitListText(all.units.served), "0-255");
}

TEST(UnitsSection, RefusesTheSectionAtTheFirstBadLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"Served=256", "Served=256: unit id 256 is past 255"},
        {"Served=1-99999999999999999999",
         "Served=1-99999999999999999999: unit id 99999999999999999999 is past 255"},
        {"Served=3-1", "Served=3-1: range 3-1 runs backwards"},
        {"Served=1,,2", "Served=1,,2: an item between commas is empty"},
        {"Served=one", "Served=one: \"one\" is not a unit id or a range a-b"},
        {"Absent=0C", "Absent=0C: expected 0B, 0A or silent"},
        {"Served=1\nserved=2", "served=2: given twice"},
        {"Served=1\nAbsent=0A\nServe=2", "Serve=2: unknown key (Served or Absent)"},
        {"Served 1-3", "Served 1-3=: not a KEY=VALUE line"},
        {"Served=\x01\xff" + std::string(100, '7'), "Served=??" + std::string(78, '7') +
                                                        "...: \"??" + std::string(78, '7') +
                                                        "...\" is not a unit id or a range a-b"},
    };
    for (const auto& [lines, error] : cases) {
        SCOPED_TRACE(lines);
        const UnitsSectionResult read = ParseText("[Units]\n" + lines + "\n");
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error.Text(), "Settings error: [Units] " + error);
        EXPECT_EQ(read.units, UnitsSettings{});
    }
}

TEST(UnitsSection, ReadFromTheSettingsFileBeyondThePortListsLimit) {
    // Far past the 10,240 characters the port list is read to.
    std::string served = "0";
    for (int i = 0; i < 4000; ++i) served += ",255";
    const SettingsFile settings = testing::SettingsOf(
        "[LocalPorts]\n502\n[Units]\r\nServed=" + served + ",7\r\nAbsent=silent\r\n");
    const UnitsSectionResult read = ReadUnitsSection(settings);
    ASSERT_TRUE(read.ok) << read.error.Text();
    EXPECT_EQ(UnitsNotice(read.units), "0, 7, 255 (others: silent)");
    EXPECT_FALSE(ReadUnitsSection(testing::SettingsOf("[General]\n")).units.On());
}

}  // namespace
}  // namespace tarvik
