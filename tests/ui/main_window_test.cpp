// The main window on its own tables and trace: its layout, the register
// panes and list, and the debug list.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QListView>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/ui/window_test_app.h"
#include "ui/debug_list_model.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

// The debug list fills the inner area below the holding frame; growing the
// window grows only the list.
using WindowLayoutTest = test::WindowTest;

TEST_F(WindowLayoutTest, DebugListFillsTheLowerPartAndAloneGrowsWithTheWindow) {
    MainWindow& m = w.window;
    // 1944 + 1416 + 50 = 3410 from the top, 6108 - 252 - 3410 = 2446 high.
    EXPECT_EQ(m.DebugListView()->geometry(), QRect(Px(72), Px(3410), Px(7692), Px(2446)));

    const QRect frame2 = m.HoldingListFrame()->geometry();
    const QRect delay = m.DelayAnswerBox()->geometry();
    const QRect before = m.DebugListView()->geometry();
    m.resize(m.width(), m.height() + Px(1000));
    ASSERT_TRUE(test::WaitUntil([&] { return m.DebugListView()->height() != before.height(); }));

    const QRect after = m.DebugListView()->geometry();
    EXPECT_EQ(after.height(), before.height() + Px(1000));
    EXPECT_EQ(after.top(), before.top());
    EXPECT_EQ(after.width(), before.width());
    EXPECT_EQ(m.HoldingListFrame()->geometry(), frame2);
    EXPECT_EQ(m.DelayAnswerBox()->geometry(), delay);
}

// The options that change how the emulator answers are drawn amber while they
// are checked, and as before once cleared; the others never are.
TEST_F(WindowLayoutTest, DontAnswerAndDelayAnswerShowAmberWhileChecked) {
    MainWindow& m = w.window;
    // Far right of the box: past its indicator and its caption.
    const auto colour = [](QCheckBox* box) {
        const QImage image = box->grab().toImage();
        return image.pixelColor(image.width() - 2, image.height() / 2);
    };
    const QColor amber(255, 191, 0);
    for (QCheckBox* box : {m.DontAnswerBox(), m.DelayAnswerBox()}) {
        SCOPED_TRACE(box->text().toStdString());
        const QColor plain = colour(box);
        EXPECT_NE(plain, amber);
        box->click();
        EXPECT_EQ(colour(box), amber);
        box->click();
        EXPECT_EQ(colour(box), plain);
    }
    m.ShowRawBox()->click();
    EXPECT_NE(colour(m.ShowRawBox()), amber);
}

struct RegisterPaneTest : test::WindowTest {
    // Select through the scroll bar, as the operator does.
    void SelectHolding(int n) { w.window.HoldingScroll()->setValue(n); }
    void SelectInput(int n) { w.window.InputScroll()->setValue(n); }

    // A real mouse click on a box, which the platform toggles first.
    static void ClickBox(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->rect().center());
    }

    int32_t& Holding(int n) { return w.tables.HoldingRegisters[static_cast<std::size_t>(n)]; }
    int32_t& Input(int n) { return w.tables.InputRegisters[static_cast<std::size_t>(n)]; }

    std::vector<int> CheckedHoldingBoxes() const {
        std::vector<int> bits;
        for (int i = 0; i < 16; ++i) {
            if (w.window.HoldingBitBox(i)->isChecked()) bits.push_back(i);
        }
        return bits;
    }
};

TEST_F(RegisterPaneTest, ClickSetsOrClearsOnlyItsBitOfTheEntryValue) {
    ClickBox(w.window.HoldingBitBox(15));
    EXPECT_EQ(Holding(0), 32768);
    ClickBox(w.window.HoldingBitBox(15));
    EXPECT_EQ(Holding(0), 0);

    Input(9) = 65535;
    SelectInput(9);
    EXPECT_EQ(w.window.InputPane()->title(), "Input register 9 (Citect address 30010)");
    ClickBox(w.window.InputBitBox(3));
    EXPECT_EQ(Input(9), 65527);

    // The master writes while register 7 is selected: the click works on the
    // entry's value, and the other boxes keep showing the old bits.
    SelectHolding(7);
    Holding(7) = 1234;
    ClickBox(w.window.HoldingBitBox(0));
    EXPECT_EQ(Holding(7), 1235);
    EXPECT_EQ(CheckedHoldingBoxes(), std::vector<int>{0});

    // Reselecting rewrites the boxes from the current value.
    Holding(7) = 0x8421;
    SelectHolding(8);
    SelectHolding(7);
    EXPECT_EQ(CheckedHoldingBoxes(), (std::vector<int>{0, 5, 10, 15}));
}

TEST_F(RegisterPaneTest, BoxesSetByTheProgramLeaveEveryEntryUnchanged) {
    for (int n = 0; n < kRegisterCount; ++n) {
        Holding(n) = static_cast<int32_t>((static_cast<uint32_t>(n) * 2654435761u) >> 16);
        Input(n) = 65535 - Holding(n);
    }
    const RegisterTables before = w.tables;
    for (int n : {1, 0, 511, 300, 300, 2, 1}) {
        SelectHolding(n);
        SelectInput(n);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(w.window.HoldingBitBox(i)->isChecked(), ((Holding(n) >> i) & 1) == 1);
            EXPECT_EQ(w.window.InputBitBox(i)->isChecked(), ((Input(n) >> i) & 1) == 1);
        }
    }
    EXPECT_EQ(w.tables.HoldingRegisters, before.HoldingRegisters);
    EXPECT_EQ(w.tables.InputRegisters, before.InputRegisters);
}

TEST_F(RegisterPaneTest, HoldingListFillsNinetyNineLinesThenRewritesOnlyChangedOnes) {
    Holding(1) = 65535;
    Holding(99) = 42;
    w.window.RefreshHoldingList();
    QListWidget* list = w.window.HoldingList();
    ASSERT_EQ(list->count(), 99);
    EXPECT_EQ(list->item(0)->text(), "40001: 65535");
    EXPECT_EQ(list->item(98)->text(), "40099: 42");

    list->setCurrentRow(50);
    QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);
    w.window.RefreshHoldingList();
    EXPECT_EQ(changed.count(), 0);

    Holding(42) = 500;
    Holding(0) = 9;    // not listed
    Holding(100) = 9;  // not listed
    Input(42) = 9;     // another table
    w.window.RefreshHoldingList();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 41);
    EXPECT_EQ(list->item(41)->text(), "40042: 500");
    EXPECT_EQ(list->count(), 99);
    EXPECT_EQ(list->currentRow(), 50);
}

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
