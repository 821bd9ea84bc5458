// Start-up of the real program from its settings file: the caption in each
// role, the panes under SimulatePAT, the busy message, and lists that open
// nothing.
#include <QAbstractButton>
#include <QGroupBox>
#include <QMessageBox>
#include <QTcpServer>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "tests/app/in_process_support.h"

namespace tarvik::testing {
namespace {

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
    ProgramUnderTest under(ServerIni(PickFreeTcpPort(), "SimulatePAT=1\r\n"));
    ASSERT_TRUE(under.Show());
    EXPECT_FALSE(under.Window().HoldingPane()->isVisible());
    EXPECT_FALSE(under.Window().InputPane()->isVisible());
    EXPECT_TRUE(under.Window().HoldingListFrame()->isVisible());

    ProgramUnderTest plain(ServerIni(PickFreeTcpPort()));
    ASSERT_TRUE(plain.Show());
    EXPECT_TRUE(plain.Window().HoldingPane()->isVisible());
    EXPECT_TRUE(plain.Window().InputPane()->isVisible());
}

// Runs the box as main does and presses its OK as the operator would; a
// watchdog ends the box should the click go astray, so the test cannot hang.
int PressOk(QMessageBox& box) {
    QTimer::singleShot(0, &box, [&box] {
        if (QAbstractButton* ok = box.button(QMessageBox::Ok))
            QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &box, [&box] { box.done(-1); });
    watchdog.start(kWaitMs);
    return box.exec();
}

TEST(ProgramStartUp, EveryPortTakenOrNoneListedReportsBusyAndTheBoxClosesWithOk) {
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
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(PressOk(*box), QMessageBox::Ok);
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
