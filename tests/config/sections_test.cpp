// The optional sections of the settings file, [Points], [Generators],
// [Faults] and [Units]: what each line gives, and each refusal as the
// operator reads it.
#include "config/points_section.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/faults_section.h"
#include "config/generators_section.h"
#include "config/units_section.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

ServedUnits Served(std::initializer_list<int> ids) {
    ServedUnits units;
    units.on = true;
    for (const int id : ids) units.ids.set(static_cast<std::size_t>(id));
    return units;
}

PointsSection ParsePoints(const std::string& lines, const ServedUnits& units = {}) {
    return ParsePointsSection(ReadSectionLinesFromText("[Points]\n" + lines, "Points"), units);
}

TEST(PointsSection, ReadsEveryFieldWithItsDefaults) {
    const PointsSection section = ParsePoints(
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

    EXPECT_EQ(ParsePoints("Flow=holding,10,float32\n").points.at(0).unit, kNoUnit);
    EXPECT_TRUE(ParsePoints("").present && ParsePoints("").points.empty() &&
                !ParsePoints("").error);
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
        const PointsSection section = ParsePoints("Good=holding,0,int16\n" + c.lines + "\n",
                                                  c.unitsOn ? units : ServedUnits{});
        ASSERT_TRUE(section.error);
        const std::string last = c.lines.substr(c.lines.rfind('\n') + 1);
        EXPECT_EQ(section.error->Text(), "Settings error: [Points] " + last + ": " + c.reason);
        EXPECT_TRUE(section.points.empty());
    }
}

using namespace std::chrono_literals;

const std::vector<Point> kPoints =
    ParsePoints(
        "Flow=holding,10,float32,CDAB\nLevel=input,20,uint16\nEnergy=holding,30,uint64\n"
        "Setpoint=holding,40,int32\nNoise=input,50,int16\n")
        .points;

GeneratorsSection ParseGenerators(const std::string& lines) {
    return ParseGeneratorsSection(ReadSectionLinesFromText("[Generators]\n" + lines, "Generators"),
                                  kPoints);
}

TEST(GeneratorsSection, ReadsEveryKindOntoItsPoint) {
    const GeneratorsSection section = ParseGenerators(
        "; point=kind arguments\nFlow=sine 50 20 30s\nlevel=RAMP\t0  1000 10s\n"
        "Energy=counter 1 1s\nSetpoint=steps 10 20 30 5s\nNoise=random -1.5e3 +5 250ms\n");
    ASSERT_FALSE(section.error) << section.error->Text();
    ASSERT_EQ(section.generators.size(), 5u);
    const struct {
        std::size_t point;
        GeneratorKind kind;
        std::vector<double> numbers;
        std::chrono::milliseconds period;
    } expected[] = {
        {0, GeneratorKind::Sine, {50, 20}, 30s},       {1, GeneratorKind::Ramp, {0, 1000}, 10s},
        {2, GeneratorKind::Counter, {1}, 1s},          {3, GeneratorKind::Steps, {10, 20, 30}, 5s},
        {4, GeneratorKind::Random, {-1500, 5}, 250ms},
    };
    for (std::size_t i = 0; i < section.generators.size(); ++i) {
        const Generator& generator = section.generators[i];
        EXPECT_EQ(generator.point, expected[i].point);
        EXPECT_EQ(generator.kind, expected[i].kind);
        EXPECT_EQ(generator.numbers, expected[i].numbers);
        EXPECT_EQ(generator.period, expected[i].period);
    }
    EXPECT_EQ(ParseGenerators("Flow=ramp 5 5 2m\n").generators.at(0).period, 120s);
    EXPECT_TRUE(ParseGenerators("").present && ParseGenerators("").generators.empty() &&
                !ParseGenerators("").error);
}

TEST(GeneratorsSection, DurationsAreWholeNumbersWithAUnit) {
    const struct {
        const char* text;
        std::optional<std::chrono::milliseconds> duration;
    } cases[] = {
        {"250ms", 250ms},
        {"10s", 10s},
        {"2m", 120s},
        {"1MS", 1ms},
        {"0s", 0ms},
        {"-5s", -5s},
        {"10", std::nullopt},
        {"1.5s", std::nullopt},
        {"s", std::nullopt},
        {"ms", std::nullopt},
        {"10h", std::nullopt},
        {"5 s", std::nullopt},
        {"153722867280912931m", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDuration(c.text), c.duration) << c.text;
}

TEST(GeneratorsSection, EachBadLineIsRefusedByNameAndDropsTheSection) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"Pump=ramp 0 1 1s", "no point of that name"},
        {"Flow=sine 1 1 1s", "the point has a generator already"},
        {"Level=sawtooth 0 1 1s", "unknown kind sawtooth (ramp, sine, random, counter or steps)"},
        {"Level=ramp 0 10s", "ramp takes MIN MAX PERIOD"},
        {"Level=sine 1 2 3 4s", "sine takes MID AMPLITUDE PERIOD"},
        {"Level=random 1 1s", "random takes MIN MAX INTERVAL"},
        {"Level=counter 1s", "counter takes STEP INTERVAL"},
        {"Level=steps 1s", "steps takes V1 [V2 ...] INTERVAL"},
        {"Level=ramp 0 ten 1s", "ten is not a number"},
        {"Level=ramp 0 10 10", "10 is not a duration (250ms, 10s, 2m)"},
        {"Level=ramp 0 10 0ms", "duration 0ms is not positive"},
        {"Level=ramp 10 0 1s", "MIN 10 is greater than MAX 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const GeneratorsSection section =
            ParseGenerators(std::string("Flow=ramp 0 1 1s\n") + c.line + "\n");
        ASSERT_TRUE(section.error);
        EXPECT_EQ(section.error->Text(),
                  std::string("Settings error: [Generators] ") + c.line + ": " + c.reason);
        EXPECT_TRUE(section.generators.empty());
    }
}

// [Faults] lines into rules, and each refusal with the exact line the
// operator reads.
FaultsSection ParseFaults(const std::string& lines) {
    return ReadFaultsSectionFromText("[General]\nSocketServer=1\n[Faults]\n" + lines);
}

// The rules as the menu shows them: the parse and the texts in one sight.
std::vector<std::string> Shown(const FaultsSection& section) {
    std::vector<std::string> shown;
    for (const FaultRule& rule : section.rules) shown.push_back(rule.DisplayText());
    return shown;
}

TEST(FaultsSection, RulesInFileOrderWithTheirFields) {
    const FaultsSection section = ParseFaults(
        "; name=unit,function,addresses,action[,when]\n"
        "Busy=*,3,100-199,exception 06\n"
        "Flaky=2,*,*,silent,every 5\n"
        "Slow=*,16,*,delay 1500,chance 20\n"
        "Drop=5,*,*,close,every 100\n"
        "  Spaced  =  1 - 3 , 0 , 7 ,\tEXCEPTION\t0a , Chance 0 \n"
        "Max.Values_-=0-255,255,65535,Delay 60000,every 2147483647\n"
        "Lead=007,016,0100-0199,close,ALWAYS\n"
        "abcdefghijklmnopqrstuvwxyz012345=*,*,*,silent\n"
        "[Other]\nIgnored=x\n");
    ASSERT_TRUE(section.present);
    ASSERT_FALSE(section.error.has_value()) << section.error->Text();
    EXPECT_EQ(Shown(section), (std::vector<std::string>{
                                  "Busy: *,3,100-199,exception 06,always",
                                  "Flaky: 2,*,*,silent,every 5",
                                  "Slow: *,16,*,delay 1500,chance 20",
                                  "Drop: 5,*,*,close,every 100",
                                  "Spaced: 1-3,0,7,exception 0A,chance 0",
                                  "Max.Values_-: 0-255,255,65535,delay 60000,every 2147483647",
                                  "Lead: 7,16,100-199,close,always",
                                  "abcdefghijklmnopqrstuvwxyz012345: *,*,*,silent,always",
                              }));
    const FaultRule& busy = section.rules[0];
    EXPECT_TRUE(busy.unit.IsAny());
    EXPECT_EQ(busy.function, ValueMatch::OneValue(3));
    EXPECT_EQ(busy.addresses, ValueMatch::RangeOf(100, 199));
    EXPECT_EQ(busy.action, (FaultAction{FaultActionKind::Exception, 6}));
    EXPECT_EQ(busy.when, FaultWhen{});
}

TEST(FaultsSection, MissingAndEmptySections) {
    EXPECT_FALSE(ReadFaultsSectionFromText("[General]\nSocketServer=1\n").present);
    const FaultsSection empty = ParseFaults("; no rules yet\n");
    EXPECT_TRUE(empty.present && empty.rules.empty() && !empty.error);
}

// The first bad line refuses the whole section; the error names the section,
// the line (a line without "=" as KEY=) and the reason.
TEST(FaultsSection, EachBadLineRefusesTheSection) {
    const struct {
        std::string line;
        const char* reason;
    } cases[] = {
        {"Busy", "not NAME=unit,function,addresses,action[,when]"},
        {"=*,*,*,silent", "name must be 1 to 32 letters, digits, _, - or ."},
        {"A=*,*,*", "missing field (unit,function,addresses,action[,when])"},
        {"A=*,*,*,silent,always,x", "too many fields (unit,function,addresses,action[,when])"},
        {"A=*, ,*,silent", "missing function"},
        {"A=*,*,*,silent,", "missing when"},
        {"A=256,*,*,silent", "unit must be *, an id or a range a-b, 0 to 255"},
        {"A=3-1,*,*,silent", "unit range runs backwards"},
        {"A=*,3-4,*,silent", "function must be * or a code, 0 to 255"},
        {"A=*,*,65536,silent", "addresses must be *, one address or a range a-b, 0 to 65535"},
        {"A=*,*,200-100,silent", "address range runs backwards"},
        {"A=*,*,*,refuse", "unknown action (exception NN, silent, delay MS or close)"},
        {"A=*,*,*,exception 00", "exception code must be two hex digits, 01 to FF"},
        {"A=*,*,*,delay 60001", "delay must be 1 to 60000 ms"},
        {"A=*,*,*,Close now", "close takes no value"},
        {"A=*,*,*,silent,sometimes", "unknown when (always, every N or chance P)"},
        {"A=*,*,*,silent,every 2147483648", "every needs a whole number, 1 to 2147483647"},
        {"GOOD=1,*,*,close", "repeated name"},
        {"A=*,*,*,silent,chance 101", "chance needs a whole number of percent, 0 to 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // A good rule before the bad line: nothing of the section is kept.
        const FaultsSection section = ParseFaults("Good=*,*,*,silent\n" + c.line + "\n");
        EXPECT_TRUE(section.present && section.rules.empty());
        ASSERT_TRUE(section.error.has_value());
        const std::string echo = c.line.find('=') == std::string::npos ? c.line + "=" : c.line;
        EXPECT_EQ(section.error->Text(), "Settings error: [Faults] " + echo + ": " + c.reason);
    }
}

// What the menu shows is itself a line that reads back as the same rule.
TEST(FaultsSection, ShownRulesReadBackTheSame) {
    const FaultsSection first =
        ParseFaults("a=1-1,0,0-0,exception ff,chance 100\nb=* , 255 , 65535 , silent , EVERY 01\n");
    ASSERT_FALSE(first.error.has_value());
    std::string text;
    for (const FaultRule& rule : first.rules) text += rule.name + "=" + rule.ValueText() + "\n";
    const FaultsSection again = ParseFaults(text);
    ASSERT_FALSE(again.error.has_value());
    EXPECT_EQ(again.rules, first.rules);
}

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
