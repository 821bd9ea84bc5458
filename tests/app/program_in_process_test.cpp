// The running program with a master connected, steered through the window's
// own controls: what goes on the wire, what the debug list and the status bar
// show, and the window colour.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPalette>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "tests/app/in_process_support.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

// A click on the box itself, inside its indicator, as the operator clicks it.
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

void TypeInto(QLineEdit* edit, const char* text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

QColor Background(TarvikSlave_Main& window) {
    return window.centralWidget()->palette().color(QPalette::Window);
}

Lines Tail(const Lines& lines, std::size_t count) {
    return count >= lines.size() ? lines : Lines(lines.end() - static_cast<std::ptrdiff_t>(count), lines.end());
}

class ProgramWithMaster : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(under.Outcome(), StartOutcome::Running);
        ASSERT_TRUE(under.Show());
        ASSERT_TRUE(master.Connect(port));
        ASSERT_TRUE(WaitUntil([this] { return under.ConnectionPanel() == ConnectedText(master); }))
            << under.ConnectionPanel();
    }

    static std::string ConnectedText(const QtMaster& m) {
        return "Connected to 127.0.0.1:" + std::to_string(m.LocalPort());
    }
    bool WaitReceived(int count) {
        return WaitUntil([&] { return under.Panel("Received packets") == std::to_string(count); });
    }

    const int port = PickFreeTcpPort();
    ProgramUnderTest under{ServerIni(std::to_string(port) + "=Main\r\n")};
    TarvikSlave_Main& window = under.Window();
    QtMaster master;
};

TEST_F(ProgramWithMaster, DontAnswerHoldsEveryRequestUntilClearedThenAllAreAnsweredInOrder) {
    Click(window.Check_Answer());
    ASSERT_TRUE(window.Check_Answer()->isChecked());

    for (int t = 1; t <= 3; ++t) {
        master.Send(WriteSingleRequest(t, t, 100 + t));
        ASSERT_TRUE(WaitReceived(t)) << "arrival " << t;
    }
    RunEventsFor(150);
    EXPECT_EQ(master.Arrived(), "");
    EXPECT_EQ(under.Panel("Sent packets"), "0");
    EXPECT_EQ(under.Trace(), (Lines{
                                 "<- Raw: 00 01 00 00 00 06 01 06 00 01 00 65 ",
                                 "<- Raw: 00 02 00 00 00 06 01 06 00 02 00 66 ",
                                 "<- Raw: 00 03 00 00 00 06 01 06 00 03 00 67 ",
                             }));
    EXPECT_EQ(under.Program().Engine().Registers().HoldingRegisters[1], 0);

    Click(window.Check_Answer());
    ASSERT_FALSE(window.Check_Answer()->isChecked());
    master.Send(WriteSingleRequest(4, 4, 104));
    for (int t = 1; t <= 4; ++t) {
        EXPECT_EQ(master.ReceiveFrame(), WriteSingleRequest(t, t, 100 + t)) << "answer " << t;
    }
    EXPECT_TRUE(WaitReceived(4));
    EXPECT_EQ(under.Panel("Sent packets"), "4");
    for (int t = 1; t <= 4; ++t) {
        EXPECT_EQ(under.Program().Engine().Registers().HoldingRegisters[static_cast<std::size_t>(t)], 100 + t);
    }
}

TEST_F(ProgramWithMaster, DelayAnswerHoldsTheAnswerForTheTypedMillisecondsThenDumpsAndCountsIt) {
    Click(window.Check_Delay());
    ASSERT_TRUE(window.Check_Delay()->isChecked());
    TypeInto(window.Text_Delay(), "300");
    ASSERT_EQ(window.Text_Delay()->text(), QStringLiteral("300"));

    master.Send(ReadRequest(1, 3, 0, 1));
    ASSERT_TRUE(WaitReceived(1));
    QElapsedTimer sinceArrival;
    sinceArrival.start();

    // The answer line is written when the answer is queued; its dump waits
    // for the tick that sends it.
    EXPECT_EQ(under.Trace(), (Lines{
                                 "<- Raw: 00 01 00 00 00 06 01 03 00 00 00 01 ",
                                 "<- 0001 Read Holding Registers 0, count 1",
                                 "-> 0001 0000 Read Holding Registers 0, data 02 00 00 ",
                                 "",
                             }));
    EXPECT_EQ(under.Panel("Sent packets"), "0");

    EXPECT_EQ(master.ReceiveFrame(), Frame(1, 1, Bytes("\x03\x02\x00\x00", 4)));
    // 300 ms go out on the third 100 ms tick: at least two full ticks later.
    EXPECT_GE(sinceArrival.elapsed(), 150);
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Sent packets") == "1"; }));
    EXPECT_EQ(Tail(under.Trace(), 1), (Lines{"-> Raw: 00 01 00 00 00 05 01 03 02 00 00 "}));
}

TEST_F(ProgramWithMaster, SecondMasterResetsTheCountersAndTheWindowGoesRedWhenItLeaves) {
    EXPECT_TRUE(WaitUntil([&] { return window.BackColor() == kColourConnected; }));
    EXPECT_EQ(Background(window), QColor(0, 255, 0));
    master.Send(ReadRequest(1, 4, 0, 1));
    ASSERT_TRUE(master.ReceiveFrame());
    ASSERT_TRUE(WaitReceived(1));
    ASSERT_EQ(under.Panel("Sent packets"), "1");

    QtMaster second;
    ASSERT_TRUE(second.Connect(port));
    EXPECT_TRUE(master.WaitClosed()) << "the first master must be dropped";
    EXPECT_TRUE(WaitUntil([&] { return under.ConnectionPanel() == ConnectedText(second); }))
        << under.ConnectionPanel();
    EXPECT_EQ(under.Panel("Received packets"), "0");
    EXPECT_EQ(under.Panel("Sent packets"), "0");

    second.Send(WriteSingleRequest(7, 2, 3));
    EXPECT_EQ(second.ReceiveFrame(), WriteSingleRequest(7, 2, 3));
    EXPECT_TRUE(WaitReceived(1));
    EXPECT_EQ(under.Panel("Sent packets"), "1");
    EXPECT_TRUE(WaitUntil([&] { return window.BackColor() == kColourConnected; }));

    second.Close();
    EXPECT_TRUE(WaitUntil([&] { return under.ConnectionPanel() == "Listening at port " + std::to_string(port); }))
        << under.ConnectionPanel();
    EXPECT_TRUE(WaitUntil([&] { return window.BackColor() == kColourNotConnected; }));
    EXPECT_EQ(Background(window), QColor(255, 0, 0));
    // The counts stay until the next master is accepted.
    EXPECT_EQ(under.Panel("Received packets"), "1");
    EXPECT_EQ(under.Panel("Sent packets"), "1");
}

}  // namespace
}  // namespace tarvik::testing
