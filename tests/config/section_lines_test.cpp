#include "config/section_lines.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(SectionLines, EntriesOfTheFirstSectionOfTheName) {
    const std::string text =
        "[General]\nSocketServer=1\n"
        "[ units ] trailing text\r\n"
        "; a comment\n"
        "\t \n"
        "  Served = 1-3, 5 \n"
        "NoEquals\n"
        "Absent=\n"
        "[Other]\nServed=9\n"
        "[Units]\nServed=7\n";
    const SectionLines lines = ReadSectionLinesFromText(text, "Units");
    ASSERT_TRUE(lines.present);
    ASSERT_EQ(lines.entries.size(), 3u);
    EXPECT_EQ(lines.entries[0].name, "Served");
    EXPECT_EQ(lines.entries[0].value, "1-3, 5");
    EXPECT_FALSE(lines.entries[1].hasEquals);
    EXPECT_EQ(lines.entries[1].name, "NoEquals");
    EXPECT_TRUE(lines.entries[2].hasEquals);
    EXPECT_EQ(lines.entries[2].value, "");
}

TEST(SectionLines, MissingAndEmptySectionsDiffer) {
    EXPECT_FALSE(ReadSectionLinesFromText("[General]\nA=1\n", "Faults").present);
    const SectionLines empty =
        ReadSectionLinesFromText("[Faults]\n; none yet\n[General]\n", "Faults");
    EXPECT_TRUE(empty.present);
    EXPECT_TRUE(empty.entries.empty());
}

}  // namespace
}  // namespace tarvik
