#include "config/line_splitter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarvik {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines Split(const std::string& text)
{
    std::istringstream in(text);
    LineSplitter splitter(in);
    Lines lines;
    while (!splitter.AtEnd()) {
        lines.push_back(splitter.NextLine());
    }
    EXPECT_FALSE(splitter.Failed());
    return lines;
}

TEST(LineSplitter, SplitsAtCrLfLoneLfAndLoneCrAndSkipsALeadingByteOrderMark)
{
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"", {}},
        {"  a = b ;c\t\0x\r\n"s, {"  a = b ;c\t\0x"s}},
        {"\xEF\xBB\xBF[General]\r\nA=1", {"[General]", "A=1"}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", {"\xEF\xBB\xBFx"}},
        {"a\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},
        {"\xEF\xBBx\n", {"\xEF\xBBx"}},  // not a whole mark: kept
        {"\xEF", {"\xEF"}},
    };
    for (const auto& [text, lines] : cases) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(Split(text), lines);
    }
}

TEST(SafeEof, IsTrueAtTheEndAndOnABrokenStream)
{
    std::istringstream text("x");
    EXPECT_FALSE(SafeEof(text));
    text.get();
    EXPECT_TRUE(SafeEof(text));

    std::istringstream broken("still has text");
    broken.setstate(std::ios::badbit);
    EXPECT_TRUE(SafeEof(broken));
}

}  // namespace
}  // namespace tarvik
