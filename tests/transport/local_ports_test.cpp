// Opening the first entry of the LocalPorts list that can be opened.
#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>

#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::RawMaster;
using nettest::WaitUntil;

// A port another program holds on every IPv4 address.
struct TakenTcpPort {
    QTcpServer holder;
    TakenTcpPort() { EXPECT_TRUE(holder.listen(QHostAddress::AnyIPv4, 0)); }
    std::string Text() const { return std::to_string(holder.serverPort()); }
};

TEST(LocalPorts, FirstPortTakenOpensTheNextWithItsTitle) {
    TakenTcpPort main;
    HeadlessHost host(HostRole::Server({main.Text() + "=Main", "0=Backup"}));
    const LocalPortOutcome& opened = host.Opening();
    ASSERT_EQ(opened.Outcome, PortOpening::Opened);
    EXPECT_EQ(opened.Title, "Backup");
    EXPECT_GT(opened.Port, 0);
    EXPECT_NE(std::to_string(opened.Port), main.Text());
    EXPECT_EQ(host.sockets.Winsock_Connect.State(), kSocketListening);
    EXPECT_EQ(host.manager.ListenLocalPort(), opened.Port);
    EXPECT_FALSE(host.manager.UdpMode());
    RawMaster master;
    EXPECT_TRUE(master.Connect(static_cast<quint16>(opened.Port)));
    EXPECT_TRUE(WaitUntil([&] { return host.manager.DataState() == kSocketConnected; }));
}

TEST(LocalPorts, EveryPortTakenUsesUpTheList) {
    TakenTcpPort first;
    TakenTcpPort second;
    HeadlessHost host(HostRole::Server({first.Text() + "=One", second.Text() + "=Two"}));
    EXPECT_EQ(host.Opening().Outcome, PortOpening::ListUsedUp);
    EXPECT_EQ(host.sockets.Winsock_Connect.State(), kSocketClosed);
    EXPECT_FALSE(host.manager.UdpMode());

    HeadlessHost empty(HostRole::Server({}));
    EXPECT_EQ(empty.Opening().Outcome, PortOpening::ListUsedUp);
}

TEST(LocalPorts, EntryWithoutPortStopsTheAttemptsWithNothingOpened) {
    HeadlessHost first(HostRole::Server({"=Spare", "0=Main"}));
    EXPECT_EQ(first.Opening().Outcome, PortOpening::StoppedAtEntryWithoutPort);
    EXPECT_EQ(first.sockets.Winsock_Connect.State(), kSocketClosed);
    EXPECT_EQ(first.manager.ListenLocalPort(), 0);

    TakenTcpPort taken;
    HeadlessHost later(HostRole::Server({taken.Text() + "=Main", "   =Spare", "0=Other"}));
    EXPECT_EQ(later.Opening().Outcome, PortOpening::StoppedAtEntryWithoutPort);
    EXPECT_EQ(later.sockets.Winsock_Connect.State(), kSocketClosed);
}

TEST(LocalPorts, PortOutsideTheRangeCountsAsNotOpenedAndTheNextIsTried) {
    HeadlessHost host(HostRole::Server({"70000=Big", "-1=Negative", "0=Fits"}));
    ASSERT_EQ(host.Opening().Outcome, PortOpening::Opened);
    EXPECT_EQ(host.Opening().Title, "Fits");
}

TEST(LocalPorts, UdpFlagInAnyCaseOpensUdpWithTheFlagInTheTitle) {
    HeadlessHost host(HostRole::Server({"0=Test,u"}));
    const LocalPortOutcome& opened = host.Opening();
    ASSERT_EQ(opened.Outcome, PortOpening::Opened);
    EXPECT_EQ(opened.Title, "Test,u");
    EXPECT_TRUE(host.manager.UdpMode());
    EXPECT_TRUE(host.sockets.UdpMode());
    EXPECT_EQ(host.sockets.Winsock_UDP.State(), kSocketOpen);
    EXPECT_EQ(host.sockets.Winsock_Connect.State(), kSocketClosed);
    // The port shown is the one in use, also when the system chose it.
    EXPECT_GT(opened.Port, 0);
    EXPECT_EQ(opened.Port, host.sockets.Winsock_UDP.LocalPort());
    EXPECT_EQ(host.manager.ListenLocalPort(), opened.Port);
}

TEST(LocalPorts, TakenUdpPortFallsThroughToTheNextEntry) {
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
    const std::string taken = std::to_string(holder.localPort());
    HeadlessHost host(HostRole::Server({taken + "=Busy,U", "0=Plain"}));
    ASSERT_EQ(host.Opening().Outcome, PortOpening::Opened);
    EXPECT_EQ(host.Opening().Title, "Plain");
    EXPECT_FALSE(host.manager.UdpMode());
    EXPECT_EQ(host.sockets.Winsock_Connect.State(), kSocketListening);
}

}  // namespace
}  // namespace tarvik
