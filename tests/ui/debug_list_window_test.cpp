#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/ui/window_test_app.h"
#include "ui/debug_list_model.h"

namespace tarvik {
namespace {

using test::RunEventsFor;
using test::WaitFor;
using test::WiredWindow;

MbapHeader Header(int32_t transaction) {
    MbapHeader header;
    header.TransactionIdentifier = transaction;
    return header;
}

class DebugListTest : public ::testing::Test {
protected:
    void SetUp() override {
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    }

    QAbstractItemModel* Model() { return w.window.List_Debug()->model(); }
    int Rows() { return Model()->rowCount(); }
    std::string Row(int row) { return Model()->index(row, 0).data().toString().toStdString(); }
    int CurrentRow() { return w.window.List_Debug()->currentIndex().row(); }
    bool SyncedWithTrace() { return static_cast<std::size_t>(Rows()) == w.trace.LineCount(); }
    void WaitForSync() { ASSERT_TRUE(WaitFor([&] { return SyncedWithTrace(); })); }

    void Requests(int count) {
        for (int i = 0; i < count; ++i) w.window.DebugTrace().TraceRequest(Header(i), "Req");
    }

    bool RowInView(int row) {
        const QListView* view = w.window.List_Debug();
        const QRect rect = view->visualRect(Model()->index(row, 0));
        return view->viewport()->rect().intersects(rect);
    }

    WiredWindow w;
};

TEST_F(DebugListTest, WrittenLinesAppearAtTheBottomInOrder) {
    TraceWriter& trace = w.window.DebugTrace();
    trace.TraceRaw("<-", Packet("\x00\x01\x00\x00\x00\x06\x11\x03\x00\x00\x00\x02", 12));
    trace.TraceRequest(Header(1), "Read Holding Registers 0, count 2");
    trace.TraceAnswer(Header(1), "Answer");
    WaitForSync();
    ASSERT_EQ(Rows(), 4);
    EXPECT_EQ(Row(0), "14:03:27 <- Raw: 00 01 00 00 00 06 11 03 00 00 00 02 ");
    EXPECT_EQ(Row(1), "14:03:27 <- 0001 Read Holding Registers 0, count 2");
    EXPECT_EQ(Row(2), "14:03:27 -> 0001 0000 Answer");
    EXPECT_EQ(Row(3), "");
}

TEST_F(DebugListTest, FloodOfWritesIsShownByOneSyncAtTheNextFrame) {
    QSignalSpy inserted(Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(Model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(Model(), &QAbstractItemModel::modelReset);

    Requests(10000);
    EXPECT_EQ(Rows(), 0);  // nothing repaints inside the burst
    WaitForSync();
    RunEventsFor(60);

    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(Rows(), 200);
    for (int row = 0; row < 200; ++row) ASSERT_EQ(Row(row), w.trace.Line(static_cast<std::size_t>(row)));
    EXPECT_EQ(Row(199), "14:03:27 <- 270F Req");
    EXPECT_LE(w.window.DebugList().FrameIntervalMs(), 50);
}

TEST_F(DebugListTest, TrimmingRemovesRowsAtTheTopAndAppendsAtTheBottom) {
    Requests(200);
    WaitForSync();
    QSignalSpy inserted(Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(Model(), &QAbstractItemModel::rowsRemoved);

    w.window.DebugTrace().TraceRequest(Header(0xABCD), "one");
    w.window.DebugTrace().TraceAnswer(Header(0xABCD), "two");
    ASSERT_TRUE(WaitFor([&] { return inserted.count() == 1; }));

    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 0);
    EXPECT_EQ(removed[0][2].toInt(), 2);
    EXPECT_EQ(inserted[0][1].toInt(), 197);
    EXPECT_EQ(inserted[0][2].toInt(), 199);
    EXPECT_EQ(Rows(), 200);
    EXPECT_EQ(Row(0), "14:03:27 <- 0003 Req");
    EXPECT_EQ(Row(197), "14:03:27 <- ABCD one");
    EXPECT_EQ(Row(199), "");
}

TEST_F(DebugListTest, SelectionFollowsAnswersAndDumpsButNotRequests) {
    Requests(150);
    w.window.DebugTrace().TraceAnswer(Header(7), "Answer");
    WaitForSync();
    EXPECT_EQ(CurrentRow(), 151);
    EXPECT_TRUE(RowInView(151));
    EXPECT_FALSE(RowInView(0));

    w.window.List_Debug()->setCurrentIndex(Model()->index(3, 0));  // the operator's pick
    Requests(20);
    WaitForSync();
    EXPECT_EQ(CurrentRow(), 3);

    w.window.DebugTrace().TraceRaw("->", Packet("\x01", 1));
    WaitForSync();
    EXPECT_EQ(CurrentRow(), Rows() - 1);
    EXPECT_TRUE(RowInView(Rows() - 1));
}

TEST_F(DebugListTest, ClearMenuEmptiesTheListAndTheNextLineIsFirst) {
    Requests(20);
    w.window.DebugTrace().TraceAnswer(Header(1), "Answer");
    WaitForSync();
    w.window.Menu_File_ClearDebugList()->trigger();
    ASSERT_TRUE(WaitFor([&] { return Rows() == 0; }));
    EXPECT_EQ(w.trace.LineCount(), 0u);
    EXPECT_TRUE(w.window.Check_ShowRaw()->isChecked());

    w.window.DebugTrace().TraceRequest(Header(2), "after");
    WaitForSync();
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Row(0), "14:03:27 <- 0002 after");
}

TEST_F(DebugListTest, LinesWrittenAndDroppedBetweenFramesAreNeverShown) {
    Requests(50);
    WaitForSync();
    QSignalSpy reset(Model(), &QAbstractItemModel::modelReset);
    Requests(450);  // the 50 shown rows and 250 newer ones are gone before the frame
    WaitForSync();
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(Row(0), w.trace.Line(0));
    EXPECT_EQ(Row(199), "14:03:27 <- 01C1 Req");
}

}  // namespace
}  // namespace tarvik
