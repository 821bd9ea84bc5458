#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/ui/window_test_app.h"

namespace tarvik {
namespace {

using test::WaitFor;
using test::WiredWindow;

class RegisterPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    }

    // Select through the scroll bar, as the operator does.
    void SelectHolding(int n) { w.window.VScroll_Holding()->setValue(n); }
    void SelectInput(int n) { w.window.VScroll_Input()->setValue(n); }

    // A real mouse click on a box, which the platform toggles first.
    static void ClickBox(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->rect().center());
    }

    int32_t& Holding(int n) { return w.tables.HoldingRegisters[static_cast<std::size_t>(n)]; }
    int32_t& Input(int n) { return w.tables.InputRegisters[static_cast<std::size_t>(n)]; }

    std::vector<int> CheckedHoldingBoxes() const {
        std::vector<int> bits;
        for (int i = 0; i < 16; ++i) {
            if (w.window.Check_HoldingRegister(i)->isChecked()) bits.push_back(i);
        }
        return bits;
    }

    WiredWindow w;
};

TEST_F(RegisterPaneTest, SelectingARegisterShowsItsCaptionAndBits) {
    Holding(5) = 32769;
    SelectHolding(5);
    EXPECT_EQ(w.window.Frame(0)->title(), "Holding register 5 (Citect address 40006)");
    EXPECT_EQ(CheckedHoldingBoxes(), (std::vector<int>{0, 15}));

    Input(511) = 6;
    SelectInput(511);
    EXPECT_EQ(w.window.Frame(1)->title(), "Input register 511 (Citect address 30512)");
    EXPECT_TRUE(w.window.Check_InputRegister(1)->isChecked());
    EXPECT_TRUE(w.window.Check_InputRegister(2)->isChecked());
    EXPECT_FALSE(w.window.Check_InputRegister(0)->isChecked());
}

TEST_F(RegisterPaneTest, ClickSetsOrClearsOnlyItsBit) {
    ClickBox(w.window.Check_HoldingRegister(15));
    EXPECT_EQ(Holding(0), 32768);
    ClickBox(w.window.Check_HoldingRegister(15));
    EXPECT_EQ(Holding(0), 0);

    Input(9) = 65535;
    SelectInput(9);
    ClickBox(w.window.Check_InputRegister(3));
    EXPECT_EQ(Input(9), 65527);
}

TEST_F(RegisterPaneTest, ClickWorksOnTheEntryValueNotOnTheStaleBoxes) {
    SelectHolding(7);
    Holding(7) = 1234;  // the master writes while register 7 is selected
    w.window.Timer_Update_Timer();
    EXPECT_EQ(w.window.List_Holding()->item(6)->text(), "40007: 1234");
    EXPECT_TRUE(CheckedHoldingBoxes().empty());

    ClickBox(w.window.Check_HoldingRegister(0));
    EXPECT_EQ(Holding(7), 1235);
    // The other boxes keep showing the old bits.
    EXPECT_EQ(CheckedHoldingBoxes(), std::vector<int>{0});
}

TEST_F(RegisterPaneTest, ReselectingRewritesTheBoxesFromTheCurrentValue) {
    SelectHolding(7);
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
            EXPECT_EQ(w.window.Check_HoldingRegister(i)->isChecked(), ((Holding(n) >> i) & 1) == 1);
            EXPECT_EQ(w.window.Check_InputRegister(i)->isChecked(), ((Input(n) >> i) & 1) == 1);
        }
    }
    EXPECT_EQ(w.tables.HoldingRegisters, before.HoldingRegisters);
    EXPECT_EQ(w.tables.InputRegisters, before.InputRegisters);
}

TEST_F(RegisterPaneTest, SelectionWaitsForTheThumbToBeReleased) {
    QScrollBar* scroll = w.window.VScroll_Holding();
    Holding(9) = 1;
    scroll->setSliderDown(true);
    scroll->setSliderPosition(9);
    EXPECT_EQ(w.window.Frame(0)->title(), "Holding register 0 (Citect address 40001)");
    scroll->setSliderDown(false);
    EXPECT_EQ(w.window.Frame(0)->title(), "Holding register 9 (Citect address 40010)");
    EXPECT_EQ(CheckedHoldingBoxes(), std::vector<int>{0});
}

class HoldingListTest : public RegisterPaneTest {};

TEST_F(HoldingListTest, FirstTickFillsNinetyNineLines) {
    Holding(1) = 65535;
    Holding(99) = 42;
    w.window.Timer_Update_Timer();
    const QListWidget* list = w.window.List_Holding();
    ASSERT_EQ(list->count(), 99);
    EXPECT_EQ(list->item(0)->text(), "40001: 65535");
    EXPECT_EQ(list->item(98)->text(), "40099: 42");
}

TEST_F(HoldingListTest, LaterTicksRewriteOnlyChangedLines) {
    w.window.Timer_Update_Timer();
    QListWidget* list = w.window.List_Holding();
    list->setCurrentRow(50);
    QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);

    w.window.Timer_Update_Timer();
    EXPECT_EQ(changed.count(), 0);

    Holding(42) = 500;
    Holding(0) = 9;       // not listed
    Holding(100) = 9;     // not listed
    Input(42) = 9;        // another table
    w.window.Timer_Update_Timer();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 41);
    EXPECT_EQ(list->item(41)->text(), "40042: 500");
    EXPECT_EQ(list->count(), 99);
    EXPECT_EQ(list->currentRow(), 50);
}

TEST_F(HoldingListTest, TimerFillsTheListTwiceASecond) {
    EXPECT_EQ(w.window.Timer_Update().interval(), 500);
    EXPECT_TRUE(w.window.Timer_Update().isActive());
    Holding(3) = 3;
    ASSERT_TRUE(WaitFor([&] { return w.window.List_Holding()->count() == 99; }, 2000));
    EXPECT_EQ(w.window.List_Holding()->item(2)->text(), "40003: 3");
    Holding(3) = 4;
    ASSERT_TRUE(WaitFor([&] { return w.window.List_Holding()->item(2)->text() == "40003: 4"; },
                        2000));
}

TEST(HoldingListWithoutTablesTest, TicksBeforeTheTablesAreAttachedShowNothing) {
    TraceModel trace;
    TarvikSlave_Main window(trace);
    window.Timer_Update_Timer();
    EXPECT_EQ(window.List_Holding()->count(), 0);
    window.Check_HoldingRegister(1)->click();  // no table yet: nothing to write
    RegisterTables tables;
    tables.HoldingRegisters[0] = 4;
    window.AttachRegisters(tables);
    // The boxes now show the table, and the stale box wrote nothing into it.
    EXPECT_FALSE(window.Check_HoldingRegister(1)->isChecked());
    EXPECT_TRUE(window.Check_HoldingRegister(2)->isChecked());
    EXPECT_EQ(tables.HoldingRegisters[0], 4);
}

}  // namespace
}  // namespace tarvik
