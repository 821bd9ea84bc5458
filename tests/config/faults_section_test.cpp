// [Faults] lines into rules, and each refusal with the exact line the
// operator reads.
#include "config/faults_section.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvik {
namespace {

FaultsSection Parse(const std::string& lines) {
    return ReadFaultsSectionFromText("[General]\nSocketServer=1\n[Faults]\n" + lines);
}

// The rules as the menu shows them: the parse and the texts in one sight.
std::vector<std::string> Shown(const FaultsSection& section) {
    std::vector<std::string> shown;
    for (const FaultRule& rule : section.rules) shown.push_back(rule.DisplayText());
    return shown;
}

TEST(FaultsSection, RulesInFileOrderWithTheirFields) {
    const FaultsSection section = Parse(
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
    const FaultsSection empty = Parse("; no rules yet\n");
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
        const FaultsSection section = Parse("Good=*,*,*,silent\n" + c.line + "\n");
        EXPECT_TRUE(section.present && section.rules.empty());
        ASSERT_TRUE(section.error.has_value());
        const std::string echo = c.line.find('=') == std::string::npos ? c.line + "=" : c.line;
        EXPECT_EQ(section.error->Text(), "Settings error: [Faults] " + echo + ": " + c.reason);
    }
}

// What the menu shows is itself a line that reads back as the same rule.
TEST(FaultsSection, ShownRulesReadBackTheSame) {
    const FaultsSection first =
        Parse("a=1-1,0,0-0,exception ff,chance 100\nb=* , 255 , 65535 , silent , EVERY 01\n");
    ASSERT_FALSE(first.error.has_value());
    std::string text;
    for (const FaultRule& rule : first.rules) text += rule.name + "=" + rule.ValueText() + "\n";
    const FaultsSection again = Parse(text);
    ASSERT_FALSE(again.error.has_value());
    EXPECT_EQ(again.rules, first.rules);
}

}  // namespace
}  // namespace tarvik
