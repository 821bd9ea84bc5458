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

}  // namespace
}  // namespace tarvik
