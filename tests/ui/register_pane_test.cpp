#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>

#include "tests/ui/window_test_app.h"

namespace tarvik {
namespace {

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

}  // namespace
}  // namespace tarvik
