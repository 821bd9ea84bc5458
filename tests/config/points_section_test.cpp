#include "config/points_section.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

ServedUnits Served(std::initializer_list<int> ids) {
    ServedUnits units;
    units.on = true;
    for (const int id : ids) units.ids.set(static_cast<std::size_t>(id));
    return units;
}

PointsSection Parse(const std::string& lines, const ServedUnits& units = {}) {
    return ParsePointsSection(ReadSectionLinesFromText("[Points]\n" + lines, "Points"), units);
}

TEST(PointsSection, ReadsEveryFieldWithItsDefaults) {
    const PointsSection section = Parse(
        "; name=table,index,type[,order[,unit]]\n"
        "Flow=holding,10,float32,CDAB\n"
        "Level = input , 20 , uint16\n"
        "Energy=HOLDING,2044,UInt64,abcd,3\n"
        "a.b-c_9=input,0,int16,BADC\n",
        Served({247, 3, 5}));
    ASSERT_FALSE(section.error) << section.error->Text();
    ASSERT_EQ(section.points.size(), 4u);
    const Point& flow = section.points[0];
    EXPECT_EQ(flow.name, "Flow");
    EXPECT_EQ(flow.table, PointTable::Holding);
    EXPECT_EQ(flow.index, 10);
    EXPECT_EQ(flow.type, ValueType::Float32);
    EXPECT_EQ(flow.order, WordOrder::CDAB);
    EXPECT_EQ(flow.unit, 3);  // the lowest served id
    const Point& level = section.points[1];
    EXPECT_EQ(level.table, PointTable::Input);
    EXPECT_EQ(level.order, WordOrder::ABCD);
    const Point& energy = section.points[2];
    EXPECT_EQ(energy.type, ValueType::Uint64);
    EXPECT_EQ(energy.index, 2044);  // 2044..2047: just fits
    EXPECT_EQ(energy.unit, 3);
    EXPECT_EQ(section.points[3].order, WordOrder::BADC);

    EXPECT_EQ(Parse("Flow=holding,10,float32\n").points.at(0).unit, kNoUnit);
    EXPECT_TRUE(Parse("").present && Parse("").points.empty() && !Parse("").error);
    EXPECT_FALSE(ParsePointsSection(ReadSectionLinesFromText("[General]\n", "Points"), {}).present);
}

// The error names the line (the last one given) and the reason.
TEST(PointsSection, EachBadLineIsRefusedByNameAndDropsTheSection) {
    const ServedUnits units = Served({1, 2, 3});
    const struct {
        std::string lines;
        bool unitsOn;
        const char* reason;
    } cases[] = {
        {"Flow=holding,10,float16", false, "unknown type float16"},
        {"Flow=holding,10,float32,ACBD", false, "unknown order ACBD"},
        {"Noise=input,50,int16,CDAB", false, "int16 takes order ABCD or BADC"},
        {"Flow=coils,10,float32", false, "unknown table coils (holding or input)"},
        {"Big=holding,2045,int64", false, "registers 2045-2048 do not fit below 2048"},
        {"Big=holding,2048,int16", false, "index 2048 is not a register 0-2047"},
        {"Flow=holding,10", false, "expected table,index,type[,order[,unit]]"},
        {"A=holding,1,int16\nB=input,2,int16\na=input,3,int16", false, "repeated name"},
        {"Fl ow=holding,1,int16", false, "a name is 1-32 letters, digits, _, - or ."},
        {"Energy=holding,30,uint64,ABCD,3", false, "a unit needs [Units]"},
        {"Energy=holding,30,uint64,ABCD,4", true, "unit 4 is not served"},
        {"Energy=holding,30,uint64,ABCD,256", true, "unit 256 is not a unit id 0-255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        const PointsSection section =
            Parse("Good=holding,0,int16\n" + c.lines + "\n", c.unitsOn ? units : ServedUnits{});
        ASSERT_TRUE(section.error);
        const std::string last = c.lines.substr(c.lines.rfind('\n') + 1);
        EXPECT_EQ(section.error->Text(), "Settings error: [Points] " + last + ": " + c.reason);
        EXPECT_TRUE(section.points.empty());
    }
}

}  // namespace
}  // namespace tarvik
