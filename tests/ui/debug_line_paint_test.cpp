// The debug list's delegate draws only the columns in view, however long the line.
#include <gtest/gtest.h>

#include "ui/debug_list_model.h"

namespace tarvik {
namespace {

TEST(VisibleColumnsTest, OnlyTheCellsTouchingTheVisibleStretchAreDrawn) {
    // Cells 10 wide from x = left: column c covers [left + 10c, left + 10 + 10c).
    struct Case {
        double left;
        std::size_t length;
        double from, to;
        std::size_t first, end;  // first == end: nothing drawn
    } const cases[] = {
        {5, 1000, 0, 100, 0, 10},              // column 9 covers [95, 105): still touches 99
        {5, 1000, 47, 61, 4, 6},               // scrolled into the middle
        {-99995, 20000, 0, 300, 9999, 10030},  // 10000 columns right; [-5, 5) half in view
        {5, 3, 0, 300, 0, 3},                  // a line shorter than the view
        {5, 3, 100, 300, 0, 0},                // scrolled past its end
        {500, 3, 0, 300, 0, 0},                // starts right of the view
        {5, 0, 0, 300, 0, 0},                  // the empty line
        {5, 50, 40, 40, 0, 0},                 // nothing visible
    };
    for (const Case& c : cases) {
        const ColumnSpan span = VisibleColumns(c.left, 10, c.length, c.from, c.to);
        if (c.first == c.end) {
            EXPECT_TRUE(span.Empty()) << c.left << " " << c.from;
        } else {
            EXPECT_EQ(span.First, c.first) << c.left << " " << c.from;
            EXPECT_EQ(span.End, c.end) << c.left << " " << c.from;
        }
    }
}

}  // namespace
}  // namespace tarvik
