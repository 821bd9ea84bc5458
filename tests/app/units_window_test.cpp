// The window serving several units: the Unit box chooses whose registers the
// panes and the holding-register list show and edit, the registers file keeps
// every unit, and one unit leaves the window as it always was.
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "tests/app/in_process_support.h"
#include "ui/register_files.h"

namespace tarvik::testing {
namespace {

std::string UnitsIni(int port, const std::string& units) {
    return ServerIni(port, "[Units]\r\n" + units);
}

class UnitsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(under.Outcome(), StartOutcome::Running);
        ASSERT_TRUE(under.Show());
        ASSERT_TRUE(master.Connect(port));
    }
    // Sends `request` and waits for its answer.
    std::optional<std::string> Ask(const Packet& request) {
        master.Send(request);
        return master.ReceiveFrame();
    }

    const int port = PickFreeTcpPort();
    ProgramUnderTest under{UnitsIni(port, "Served=2, 1, 5\r\n")};
    QtMaster master;
};

// The box lists the served units in order and starts at the first.
TEST_F(UnitsWindow, UnitBoxSwitchesPanesListAndEdits) {
    MainWindow& window = under.Window();
    QStringList items;
    for (int i = 0; i < window.UnitBox()->count(); ++i) items << window.UnitBox()->itemText(i);
    EXPECT_EQ(items, (QStringList{"1", "2", "5"}));
    EXPECT_EQ(window.UnitBox()->currentText(), QStringLiteral("1"));
    ASSERT_EQ(Ask(WriteSingleRequest(1, 1, 0x1234, 2)), WriteSingleRequest(1, 1, 0x1234, 2));
    ASSERT_EQ(Ask(WriteSingleRequest(2, 1, 7, 1)), WriteSingleRequest(2, 1, 7, 1));
    window.HoldingScroll()->setValue(1);
    window.RefreshHoldingList();
    EXPECT_EQ(window.HoldingList()->item(0)->text(), QStringLiteral("40001: 7"));
    EXPECT_TRUE(window.HoldingBitBox(0)->isChecked() && window.HoldingBitBox(2)->isChecked());

    window.UnitBox()->setCurrentIndex(1);  // unit 2
    EXPECT_EQ(window.HoldingList()->item(0)->text(), QStringLiteral("40001: 4660"));
    EXPECT_FALSE(window.HoldingBitBox(0)->isChecked());
    EXPECT_TRUE(window.HoldingBitBox(2)->isChecked() && window.HoldingBitBox(4)->isChecked());

    // An operator's edit goes to the unit shown, and only to it.
    QCheckBox* bit0 = window.HoldingBitBox(0);
    QTest::mouseClick(bit0, Qt::LeftButton, Qt::NoModifier, QPoint(6, bit0->height() / 2));
    EXPECT_EQ(Ask(ReadRequest(3, 3, 1, 1, 2)), Frame(3, 2, Bytes("03 02 12 35")));
    EXPECT_EQ(Ask(ReadRequest(4, 3, 1, 1, 1)), Frame(4, 1, Bytes("03 02 00 07")));
    // Unit 5's input registers are its own, still 0.
    under.Core().Units().Of(5)->InputRegisters[0] = 0x8001;
    window.UnitBox()->setCurrentIndex(2);
    window.InputScroll()->setValue(0);
    EXPECT_TRUE(window.InputBitBox(15)->isChecked() && window.InputBitBox(0)->isChecked());
    EXPECT_EQ(window.HoldingList()->item(0)->text(), QStringLiteral("40001: 0"));
}

// Saved and loaded back through the window, each unit gets its own values
// (the file's form is the register file's tests').
TEST_F(UnitsWindow, RegistersFileKeepsEveryUnit) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("units.csv"));
    UnitTables& units = under.Core().Units();
    units.Of(1)->HoldingRegisters[0] = 1;
    units.Of(5)->InputRegisters[2047] = 65535;
    QString error;
    ASSERT_TRUE(SaveRegisters(file, units, error)) << error.toStdString();

    units.Of(1)->HoldingRegisters[0] = 9;
    units.Of(2)->HoldingRegisters[3] = 9;
    ASSERT_TRUE(LoadRegistersWithMessage(&under.Window(), file, units));
    EXPECT_EQ(units.Of(1)->HoldingRegisters[0], 1);
    EXPECT_EQ(units.Of(2)->HoldingRegisters[3], 0);
    EXPECT_EQ(units.Of(5)->InputRegisters[2047], 65535);
}

TEST(OneUnitWindow, NoUnitBox) {
    ProgramUnderTest one{UnitsIni(PickFreeTcpPort(), "Served=7\r\n")};
    EXPECT_EQ(one.Window().findChildren<QComboBox*>().size(), 0);
    // The one unit's tables are the ones shown.
    EXPECT_EQ(&one.Core().Registers(), one.Core().Units().Of(7));
}

}  // namespace
}  // namespace tarvik::testing
