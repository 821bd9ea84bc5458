// The hex dumps every trace line ends in: appended behind what is there.
#include <gtest/gtest.h>

#include <string>

#include "engine/text_forms.h"

namespace tarvik {
namespace {

TEST(HexDump, BytesAndWordsAppendBehindTheLine) {
    struct Case {
        std::string bytes;
        HexForm form;
        std::string shown;
    };
    const Case cases[] = {
        {"", HexForm::Bytes, "x: "},
        {std::string("\x00\x7F\xA5\xFF", 4), HexForm::Bytes, "x: 00 7F A5 FF "},
        {"", HexForm::Words, "x: "},
        {std::string("\x12\x34\xAB\xCD", 4), HexForm::Words, "x: 1234ABCD"},
        // A last odd byte is no word.
        {std::string("\x12\x34\xAB", 3), HexForm::Words, "x: 1234"},
        {std::string("\xAB", 1), HexForm::Words, "x: "},
    };
    for (const Case& c : cases) {
        std::string line = "x: ";
        AppendHex(line, c.bytes, c.form);
        EXPECT_EQ(line, c.shown);
    }
}

}  // namespace
}  // namespace tarvik
