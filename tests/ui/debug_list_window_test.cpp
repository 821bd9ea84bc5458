#include <gtest/gtest.h>
#include <QAction>
#include <QListView>
#include <QSignalSpy>

#include "tests/ui/window_test_app.h"
#include "ui/debug_list_model.h"

namespace tarvik {
namespace {

MbapHeader Header(int32_t transaction) {
    MbapHeader header;
    header.TransactionIdentifier = transaction;
    return header;
}

struct DebugListTest : test::WindowTest {
    QAbstractItemModel* Model() { return w.window.DebugListView()->model(); }
    int Rows() { return Model()->rowCount(); }
    std::string Row(int row) { return Model()->index(row, 0).data().toString().toStdString(); }
    void WaitForSync() {
        ASSERT_TRUE(test::WaitUntil(
            [&] { return static_cast<std::size_t>(Rows()) == w.trace.LineCount(); }));
    }
};

TEST_F(DebugListTest, FloodOfWritesIsShownByOneSyncAtTheNextFrame) {
    QSignalSpy inserted(Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(Model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(Model(), &QAbstractItemModel::modelReset);

    for (int i = 0; i < 10000; ++i) w.trace.TraceRequest(Header(i), "Req");
    EXPECT_EQ(Rows(), 0);  // nothing repaints inside the burst
    WaitForSync();
    test::RunEventsFor(60);

    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(Rows(), 200);
    for (int row = 0; row < 200; ++row)
        ASSERT_EQ(Row(row), w.trace.Line(static_cast<std::size_t>(row)));
    EXPECT_EQ(Row(199), "14:03:27 <- 270F Req");
    EXPECT_LE(w.window.DebugList()->FrameIntervalMs(), 50);
}

TEST_F(DebugListTest, ClearMenuEmptiesTheListAndTheNextLineIsFirst) {
    w.trace.TraceRaw("<-", Packet("\x00\x01\x00\x00\x00\x06\x11\x03\x00\x00\x00\x02", 12));
    w.trace.TraceAnswer(Header(1), "Answer");
    WaitForSync();
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(Row(0), "14:03:27 <- Raw: 00 01 00 00 00 06 11 03 00 00 00 02 ");
    EXPECT_EQ(Row(1), "14:03:27 -> 0001 0000 Answer");

    w.window.ClearDebugListAction()->trigger();
    ASSERT_TRUE(test::WaitUntil([&] { return Rows() == 0; }));
    EXPECT_EQ(w.trace.LineCount(), 0u);
    w.trace.TraceRequest(Header(2), "after");
    WaitForSync();
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Row(0), "14:03:27 <- 0002 after");
}

// The debug list's delegate draws only the columns in view, however long the line.
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
