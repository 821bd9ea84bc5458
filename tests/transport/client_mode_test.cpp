// The TCP client role: connecting out, again and again, to the master.
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::Hex;
using nettest::ReadHoldingRequest;
using nettest::WaitUntil;

// Counts the connection attempts that failed and the timer's ticks.
struct AttemptLog {
    int errors = 0;
    int ticks = 0;
    std::vector<int32_t> colours;

    explicit AttemptLog(HeadlessHost& host) {
        QObject::connect(&host.sockets.Winsock_Data, &WinsockControl::Error,
                         [this](int, const QString&) { ++errors; });
        QObject::connect(&host.Timer_ReConnect, &QTimer::timeout, [this] { ++ticks; });
        QObject::connect(&host.manager, &ConnectionManager::ConnectionColourChanged,
                         [this](int32_t colour) { colours.push_back(colour); });
    }
};

TEST(ClientMode, RefusingMasterIsTriedAtMostOncePerTickAndTheWindowStaysRed) {
    HeadlessHost host(HostRole::Client("127.0.0.1", nettest::UnusedTcpPort()));
    AttemptLog log(host);
    ASSERT_TRUE(WaitUntil([&] { return log.errors >= 5; }));
    EXPECT_LE(log.errors, log.ticks);
    EXPECT_EQ(log.colours, std::vector<int32_t>{kColourNotConnected});
    EXPECT_EQ(host.manager.PacketsReceived(), 0);
}

TEST(ClientMode, TickWhileAnAttemptIsUnderWayStartsNoOther) {
    HeadlessHost host(HostRole::Client("127.0.0.1", nettest::UnusedTcpPort()));
    host.Timer_ReConnect.stop();
    AttemptLog log(host);
    for (int i = 0; i < 3; ++i) host.manager.Timer_ReConnect_Timer();
    ASSERT_TRUE(WaitUntil([&] { return log.errors == 1; }));
    // The error closed the socket at once; nothing else is under way.
    EXPECT_EQ(host.manager.DataState(), kSocketClosed);
    host.manager.Timer_ReConnect_Timer();
    ASSERT_TRUE(WaitUntil([&] { return log.errors == 2; }));
}

TEST(ClientMode, MissingHostOrPortFailsThroughTheErrorEventAndIsTriedAgain) {
    HeadlessHost host(HostRole::Client("", 0));
    AttemptLog log(host);
    ASSERT_TRUE(WaitUntil([&] { return log.errors >= 3; }));
    EXPECT_LE(log.errors, log.ticks);
    EXPECT_EQ(host.manager.DataRemoteHost(), "");
    EXPECT_EQ(host.manager.DataRemotePort(), 0);
    EXPECT_EQ(log.colours, std::vector<int32_t>{kColourNotConnected});
}

TEST(ClientMode, ConnectsToTheMasterIsServedAndConnectsAgainAfterTheMasterCloses) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));  // IPv4 only
    std::vector<QTcpSocket*> connections;
    QObject::connect(&master, &QTcpServer::newConnection,
                     [&] { connections.push_back(master.nextPendingConnection()); });
    // A name, not an address: it must be reached over IPv4.
    HeadlessHost host(HostRole::Client("localhost", master.serverPort()));
    AttemptLog log(host);
    host.engine.Registers().HoldingRegisters[0] = 0x4242;

    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.ConnectionColour() == kColourConnected; }));
    EXPECT_EQ(host.manager.DataRemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(host.manager.DataRemotePort(), master.serverPort());
    EXPECT_EQ(host.manager.DataRemoteHost(), "localhost");

    const Packet request = ReadHoldingRequest(1, 0, 1);
    connections[0]->write(request.data(), static_cast<qint64>(request.size()));
    ASSERT_TRUE(WaitUntil([&] { return connections[0]->bytesAvailable() >= 11; }));
    const QByteArray answer = connections[0]->readAll();
    EXPECT_EQ(Hex(Packet(answer.constData(), static_cast<std::size_t>(answer.size()))),
              "00 01 00 00 00 05 01 03 02 42 42");

    connections[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.DataState() == kSocketConnected; }));
    ASSERT_TRUE(WaitUntil([&] { return log.colours.size() == 4; }));
    EXPECT_EQ(log.colours, (std::vector<int32_t>{kColourNotConnected, kColourConnected,
                                                 kColourNotConnected, kColourConnected}));

    connections[1]->write(request.data(), static_cast<qint64>(request.size()));
    ASSERT_TRUE(WaitUntil([&] { return connections[1]->bytesAvailable() >= 11; }));
    // Nothing resets the counters in client mode.
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
    EXPECT_EQ(log.errors, 0);
}

}  // namespace
}  // namespace tarvik
