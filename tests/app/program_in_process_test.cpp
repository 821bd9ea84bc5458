// The window program on this test's own event loop: its start-up from the
// settings file, then with a master connected, steered through the window's
// own controls: what goes on the wire, what the status bar shows, and the
// window colour.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPalette>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "tests/app/in_process_support.h"
#include "ui/debug_list_model.h"
#include "ui/debug_list_saving.h"
#include "ui/register_files.h"

namespace tarvik::testing {
namespace {

// A click on the box itself, inside its indicator, as the operator clicks it.
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

QColor Background(MainWindow& window) {
    return window.centralWidget()->palette().color(QPalette::Window);
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
    ProgramUnderTest under{ServerIni(port)};
    MainWindow& window = under.Window();
    QtMaster master;
};

TEST_F(ProgramWithMaster, DontAnswerHoldsEveryRequestUntilClearedThenAllAreAnsweredInOrder) {
    Click(window.DontAnswerBox());
    ASSERT_TRUE(window.DontAnswerBox()->isChecked());

    for (int t = 1; t <= 3; ++t) {
        master.Send(WriteSingleRequest(t, t, 100 + t));
        ASSERT_TRUE(WaitReceived(t)) << "arrival " << t;
    }
    RunEventsFor(150);
    EXPECT_EQ(master.Arrived(), "");
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Sent packets") == "0"; }));

    Click(window.DontAnswerBox());
    ASSERT_FALSE(window.DontAnswerBox()->isChecked());
    master.Send(WriteSingleRequest(4, 4, 104));
    for (int t = 1; t <= 4; ++t) {
        EXPECT_EQ(master.ReceiveFrame(), WriteSingleRequest(t, t, 100 + t)) << "answer " << t;
    }
    EXPECT_TRUE(WaitReceived(4));
    // Shown within a screen frame.
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Sent packets") == "4"; }));
}

TEST_F(ProgramWithMaster, DelayAnswerHoldsTheAnswerForTheTypedMillisecondsThenDumpsAndCountsIt) {
    Click(window.DelayAnswerBox());
    ASSERT_TRUE(window.DelayAnswerBox()->isChecked());
    window.DelayTextBox()->setFocus();
    QTest::keyClick(window.DelayTextBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window.DelayTextBox(), QStringLiteral("300"));
    ASSERT_EQ(window.DelayTextBox()->text(), QStringLiteral("300"));

    master.Send(ReadRequest(1, 3, 0, 1));
    ASSERT_TRUE(WaitReceived(1));
    QElapsedTimer sinceArrival;
    sinceArrival.start();

    EXPECT_EQ(under.Panel("Sent packets"), "0");

    EXPECT_EQ(master.ReceiveFrame(), Frame(1, 1, Bytes("03 02 00 00")));
    // 300 ms go out on the third 100 ms tick: at least two full ticks later.
    EXPECT_GE(sinceArrival.elapsed(), 150);
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Sent packets") == "1"; }));
    EXPECT_EQ(under.Trace().back(), "-> Raw: 00 01 00 00 00 05 01 03 02 00 00 ");
}

// The reset of the counters for a new master is the server role's test; here
// what the window shows of it.
TEST_F(ProgramWithMaster, SecondMasterResetsThePanelsAndTheWindowGoesRedWhenItLeaves) {
    EXPECT_TRUE(WaitUntil([&] { return window.BackColor() == kColourConnected; }));
    EXPECT_EQ(Background(window), QColor(0, 255, 0));
    master.Send(ReadRequest(1, 4, 0, 1));
    ASSERT_TRUE(master.ReceiveFrame());
    ASSERT_TRUE(WaitReceived(1));

    QtMaster second;
    ASSERT_TRUE(second.Connect(port));
    EXPECT_TRUE(WaitUntil([&] { return under.ConnectionPanel() == ConnectedText(second); }))
        << under.ConnectionPanel();
    // Counters are shown within a screen frame.
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Received packets") == "0"; }));
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Sent packets") == "0"; }));
    second.Send(WriteSingleRequest(7, 2, 3));
    ASSERT_TRUE(second.ReceiveFrame());

    second.Close();
    EXPECT_TRUE(WaitUntil([&] {
        return under.ConnectionPanel() == "Listening at port " + std::to_string(port);
    })) << under.ConnectionPanel();
    EXPECT_TRUE(WaitUntil([&] { return window.BackColor() == kColourNotConnected; }));
    EXPECT_EQ(Background(window), QColor(255, 0, 0));
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Received packets") == "1"; }))
        << "the counts stay until the next master";
}

// Registers saved, changed, loaded back: the panes and the list show them
// (the wire's answers after a load: the headless tests). The debug list
// saves as shown.
TEST_F(ProgramWithMaster, RegistersLoadedBackAreShownAndTheDebugListSavesAsShown) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("regs.csv"));
    RegisterTables& tables = under.Core().Registers();
    tables.HoldingRegisters[0] = 0x1234;
    QString error;
    ASSERT_TRUE(SaveRegisters(file, tables, error)) << error.toStdString();
    tables.HoldingRegisters[0] = 1;
    tables.HoldingRegisters[1] = 2;
    ASSERT_TRUE(LoadRegistersWithMessage(&window, file, tables));
    window.ShowRegistersAgain();
    EXPECT_EQ(window.HoldingList()->item(0)->text(), QStringLiteral("40001: 0"))
        << "entries not in the file are 0";
    EXPECT_TRUE(window.HoldingBitBox(2)->isChecked() && !window.HoldingBitBox(3)->isChecked())
        << "the pane shows 0x1234 of register 0";

    master.Send(ReadRequest(1, 3, 0, 2));
    ASSERT_TRUE(WaitUntil([&] { return window.DebugList()->rowCount() > 3; }));
    QStringList lines;
    for (int row = 0; row < window.DebugList()->rowCount(); ++row)
        lines << QString::fromStdString(std::string(window.DebugList()->LineText(row)));
    const QString saved = folder.filePath(QStringLiteral("debug.txt"));
    ASSERT_TRUE(SaveLines(saved, lines, error));
    QFile in(saved);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    EXPECT_FALSE(SaveLines(folder.filePath(QStringLiteral("no/such/folder/x.txt")), lines, error));
    EXPECT_FALSE(error.isEmpty());
}

// Start-up of the real program from its settings file: the caption in each
// role, the panes under SimulatePAT, the busy message, and lists that open
// nothing.
TEST(ProgramStartUp, CaptionNamesTheEntryTitleAndThePortInUse) {
    QTcpServer holder;  // takes the first entry's port, as another program would
    ASSERT_TRUE(holder.listen(QHostAddress::AnyIPv4, 0));
    const std::string taken = std::to_string(holder.serverPort());
    struct Case {
        std::string entry;  // the free port's LocalPorts line, after the number
        std::string caption;
        bool firstTaken = false;  // a taken entry comes first
    } const cases[] = {
        {"=Main\r\n", " - Main"},
        {"\r\n", ""},
        {" = \r\n", ""},
        {"=Test,U\r\n", " - Test,U"},  // UDP keeps its flag in the caption
        {"=Unprivileged\r\n", " - Unprivileged", true},
    };
    for (const Case& c : cases) {
        const bool udp = c.entry.find(",U") != std::string::npos;
        const int port = udp ? PickFreeUdpPort() : PickFreeTcpPort();
        const std::string p = std::to_string(port);
        ProgramUnderTest under(ServerIni((c.firstTaken ? taken + "=Main\r\n" : "") + p + c.entry));
        EXPECT_EQ(under.Outcome(), StartOutcome::Running) << c.entry;
        EXPECT_EQ(under.Title(), "Tarvik Slave Emulator" + c.caption + " (" + p + ")") << c.entry;
        EXPECT_EQ(under.ConnectionPanel(), "Listening at port " + p) << c.entry;
        if (udp) continue;
        EXPECT_EQ(under.Panel("Received packets"), "0");
        // Red from the first tick until a master connects.
        EXPECT_TRUE(WaitUntil([&] { return under.Window().BackColor() == kColourNotConnected; }));
        QtMaster master;
        EXPECT_TRUE(master.Connect(port)) << c.entry;
    }
}

TEST(ProgramStartUp, ClientModeKeepsThePlainCaptionAndConnectsOut) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));
    const std::string port = std::to_string(master.serverPort());
    ProgramUnderTest under(
        "[General]\r\nSocketServer=0\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + port + "\r\n");

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");
    EXPECT_EQ(under.ConnectionPanel(), "Trying to connect to 127.0.0.1:" + port);
    // Served once connected: the client role's own tests.
    EXPECT_TRUE(
        WaitUntil([&] { return under.ConnectionPanel() == "Connected to 127.0.0.1:" + port; }));
}

TEST(ProgramStartUp, SimulatePatHidesBothRegisterPanes) {
    for (const bool simulate : {true, false}) {
        ProgramUnderTest under(ServerIni(PickFreeTcpPort(), simulate ? "SimulatePAT=1\r\n" : ""));
        ASSERT_TRUE(under.Show());
        EXPECT_NE(under.Window().HoldingPane()->isVisible(), simulate);
        EXPECT_NE(under.Window().InputPane()->isVisible(), simulate);
        EXPECT_TRUE(under.Window().HoldingListFrame()->isVisible());
    }
}

TEST(ProgramStartUp, EveryPortTakenOrNoneListedReportsBusy) {
    QTcpServer first;
    QTcpServer second;
    ASSERT_TRUE(first.listen(QHostAddress::AnyIPv4, 0));
    ASSERT_TRUE(second.listen(QHostAddress::AnyIPv4, 0));
    ProgramUnderTest under(ServerIni(std::to_string(first.serverPort()) + "=Main\r\n" +
                                     std::to_string(second.serverPort()) + "=Backup\r\n"));
    EXPECT_EQ(under.Outcome(), StartOutcome::AllSocketsBusy);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");
    for (const std::string& ini : {ServerIni(""), std::string("[General]\r\nSocketServer=1\r\n"),
                                   ServerIni("; 502=Main\r\n\r\n")}) {
        EXPECT_EQ(ProgramUnderTest(ini).Outcome(), StartOutcome::AllSocketsBusy) << ini;
    }

    const std::unique_ptr<QMessageBox> box = MakeAllSocketsBusyBox(nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("All sockets are busy!"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("TarvikSlave"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

// The status bar never names a port nobody listens on: neither the 0 of an
// untried listener nor the last entry that failed.
TEST(ProgramStartUp, EntryWithoutPortOpensNothingAndThePanelSaysNoPortOpen) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::AnyIPv4, 0));
    const std::string taken = std::to_string(holder.serverPort());
    const int port = PickFreeTcpPort();
    for (const std::string& ports :
         {"=Spare\r\n" + std::to_string(port) + "=Main\r\n",
          taken + "=Main\r\n=Spare\r\n" + std::to_string(port) + "=Backup\r\n"}) {
        SCOPED_TRACE(ports);
        ProgramUnderTest under(ServerIni(ports));
        EXPECT_EQ(under.Outcome(), StartOutcome::NoPortOpened);
        EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");
        EXPECT_EQ(under.ConnectionPanel(), "No port open");
        EXPECT_EQ(under.Core().Sockets().listener.State(), SocketState::Closed);
        EXPECT_EQ(under.Core().Sockets().udp.State(), SocketState::Closed);
        QtMaster master;
        EXPECT_FALSE(master.Connect(port)) << "the entry behind the empty one must stay closed";
    }
}

}  // namespace
}  // namespace tarvik::testing
