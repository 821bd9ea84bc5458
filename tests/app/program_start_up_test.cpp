// Start-up of the real program from its settings file: the caption in each
// role, the panes under SimulatePAT, the busy message, and lists that open
// nothing.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QTcpServer>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "tests/app/in_process_support.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

std::string Ports(int port, const std::string& rest) { return std::to_string(port) + rest; }

TEST(ProgramStartUpCaption, NamesTheEntryTitleAndThePortInUse) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni(Ports(port, "=Main\r\n")));

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator - Main (" + std::to_string(port) + ")");
    EXPECT_EQ(under.ConnectionPanel(), "Listening at port " + std::to_string(port));
    EXPECT_EQ(under.Panel("Received packets"), "0");
    EXPECT_EQ(under.Panel("Sent packets"), "0");
    // Red from the first tick until a master connects.
    EXPECT_TRUE(WaitUntil([&] { return under.Window().BackColor() == kBackColorRed; }));
    QtMaster master;
    EXPECT_TRUE(master.Connect(port));
}

TEST(ProgramStartUpCaption, EntryWithoutTitleShowsOnlyThePort) {
    for (const std::string rest : {"\r\n", "=\r\n", " = \r\n"}) {
        const int port = PickFreeTcpPort();
        ProgramUnderTest under(ServerIni(Ports(port, rest)));
        EXPECT_EQ(under.Outcome(), StartOutcome::Running) << rest;
        EXPECT_EQ(under.Title(), "Tarvik Slave Emulator (" + std::to_string(port) + ")") << rest;
    }
}

TEST(ProgramStartUpCaption, TakenFirstEntryFallsThroughToTheNextTitle) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::AnyIPv4, 0));
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni(Ports(holder.serverPort(), "=Main\r\n") + Ports(port, "=Unprivileged\r\n")));

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator - Unprivileged (" + std::to_string(port) + ")");
    EXPECT_EQ(under.ConnectionPanel(), "Listening at port " + std::to_string(port));
}

TEST(ProgramStartUpCaption, UdpEntryKeepsItsFlagAndAnswersTheSender) {
    const int port = PickFreeUdpPort();
    ProgramUnderTest under(ServerIni(Ports(port, "=Test,U\r\n")));

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator - Test,U (" + std::to_string(port) + ")");
    EXPECT_EQ(under.ConnectionPanel(), "Listening at port " + std::to_string(port));

    QtUdpMaster master;
    master.SendTo(port, WriteSingleRequest(9, 3, 0x0102));
    EXPECT_EQ(master.Receive(), WriteSingleRequest(9, 3, 0x0102));
    EXPECT_TRUE(WaitUntil([&] { return under.Panel("Received packets") == "1"; }));
    // The data socket is never connected over UDP: the window stays red.
    EXPECT_EQ(under.ConnectionPanel(), "Listening at port " + std::to_string(port));
    EXPECT_TRUE(WaitUntil([&] { return under.Window().BackColor() == kBackColorRed; }));
}

TEST(ProgramStartUpCaption, ClientModeKeepsThePlainCaptionAndConnectsOut) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));
    const std::string port = std::to_string(master.serverPort());
    ProgramUnderTest under("[General]\r\nSocketServer=0\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + port +
                           "\r\n");

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");
    EXPECT_EQ(under.ConnectionPanel(), "Trying to connect to 127.0.0.1:" + port);

    // The reconnect timer makes the first attempt once the loop runs.
    ASSERT_TRUE(WaitUntil([&] { return master.hasPendingConnections(); }));
    QTcpSocket* slave = master.nextPendingConnection();
    EXPECT_TRUE(WaitUntil([&] { return under.ConnectionPanel() == "Connected to 127.0.0.1:" + port; }));
    EXPECT_TRUE(WaitUntil([&] { return under.Window().BackColor() == kBackColorGreen; }));

    const Bytes request = ReadRequest(5, 4, 0, 1);
    slave->write(request.data(), static_cast<qint64>(request.size()));
    ASSERT_TRUE(WaitUntil([&] { return slave->bytesAvailable() >= 11; }));
    EXPECT_EQ(slave->readAll(), QByteArray("\x00\x05\x00\x00\x00\x05\x01\x04\x02\x00\x00", 11));
}

TEST(ProgramStartUpCaption, SettingsWithLineFeedsOnlyStillFindServerMode) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under("[General]\nSocketServer=1\nSimulatePAT=0\n[LocalPorts]\n" + Ports(port, "=Main\n"));

    EXPECT_EQ(under.Outcome(), StartOutcome::Running);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator - Main (" + std::to_string(port) + ")");
    QtMaster master;
    EXPECT_TRUE(master.Connect(port));
}

TEST(ProgramStartUpPanes, SimulatePatHidesBothRegisterPanesAndServesCannedReads) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni(Ports(port, "=Main\r\n"), /*simulatePAT=*/true));
    ASSERT_TRUE(under.Show());
    TarvikSlave_Main& window = under.Window();

    EXPECT_FALSE(window.Frame(0)->isVisible());
    EXPECT_FALSE(window.Frame(1)->isVisible());
    EXPECT_TRUE(window.Frame(2)->isVisible());
    EXPECT_TRUE(window.List_Holding()->isVisible());
    EXPECT_TRUE(window.List_Debug()->isVisible());
    for (QCheckBox* option : {window.Check_Delay(), window.Check_Answer(), window.Check_ShowRaw(),
                              window.Check_ShowReads()}) {
        EXPECT_TRUE(option->isVisible()) << option->text().toStdString();
    }

    QtMaster master;
    ASSERT_TRUE(master.Connect(port));
    master.Send(ReadRequest(1, 3, 300, 4));
    EXPECT_EQ(master.ReceiveFrame(), Frame(1, 1, Bytes("\x03\x08\x99\x9A\x99\x99\x99\x99\x40\x24", 10)));
}

TEST(ProgramStartUpPanes, WithoutSimulatePatBothPanesShow) {
    ProgramUnderTest under(ServerIni(Ports(PickFreeTcpPort(), "=Main\r\n")));
    ASSERT_TRUE(under.Show());
    EXPECT_TRUE(under.Window().Frame(0)->isVisible());
    EXPECT_TRUE(under.Window().Frame(1)->isVisible());
}

// Runs the box as main does and presses its OK as the operator would; a
// watchdog ends the box should the click go astray, so the test cannot hang.
int PressOk(QMessageBox& box) {
    QTimer::singleShot(0, &box, [&box] {
        if (QAbstractButton* ok = box.button(QMessageBox::Ok)) QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &box, [&box] { box.done(-1); });
    watchdog.start(kWaitMs);
    return box.exec();
}

TEST(ProgramStartUpBusy, EveryPortTakenReportsBusyAndTheBoxClosesWithOk) {
    QTcpServer first;
    QTcpServer second;
    ASSERT_TRUE(first.listen(QHostAddress::AnyIPv4, 0));
    ASSERT_TRUE(second.listen(QHostAddress::AnyIPv4, 0));
    ProgramUnderTest under(ServerIni(Ports(first.serverPort(), "=Main\r\n") +
                                     Ports(second.serverPort(), "=Backup\r\n")));

    EXPECT_EQ(under.Outcome(), StartOutcome::AllSocketsBusy);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");

    const std::unique_ptr<QMessageBox> box = MakeAllSocketsBusyBox(nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("All sockets are busy!"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("TarvikSlave"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box->buttons().size(), 1);

    EXPECT_EQ(PressOk(*box), QMessageBox::Ok);
    EXPECT_EQ(box->clickedButton(), box->button(QMessageBox::Ok));
}

TEST(ProgramStartUpBusy, EmptyOrMissingPortListCountsAsUsedUp) {
    ProgramUnderTest empty(ServerIni(""));
    EXPECT_EQ(empty.Outcome(), StartOutcome::AllSocketsBusy);
    ProgramUnderTest missing("[General]\r\nSocketServer=1\r\n");
    EXPECT_EQ(missing.Outcome(), StartOutcome::AllSocketsBusy);
    ProgramUnderTest commentsOnly(ServerIni("; 502=Main\r\n\r\n"));
    EXPECT_EQ(commentsOnly.Outcome(), StartOutcome::AllSocketsBusy);
}

TEST(ProgramStartUpBusy, EntryWithoutPortBeforeValidOnesOpensNothingQuietly) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni("=Spare\r\n" + Ports(port, "=Main\r\n")));

    EXPECT_EQ(under.Outcome(), StartOutcome::NoPortOpened);
    EXPECT_EQ(under.Title(), "Tarvik Slave Emulator");
    EXPECT_EQ(under.ConnectionPanel(), "Listening at port 0");
    EXPECT_EQ(under.Program().Sockets().Winsock_Connect.State(), kSocketClosed);
    EXPECT_EQ(under.Program().Sockets().Winsock_UDP.State(), kSocketClosed);
    QtMaster master;
    EXPECT_FALSE(master.Connect(port)) << "the valid entry behind the empty one must stay closed";
}

}  // namespace
}  // namespace tarvik::testing
