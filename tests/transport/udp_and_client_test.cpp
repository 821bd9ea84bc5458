// The UDP role, where every datagram is a request answered to its own
// sender, and the TCP client role, which connects out to the master.
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::Hex;
using nettest::ReadHoldingRequest;
using nettest::WaitUntil;

struct Sender {
    QUdpSocket socket;
    Sender() { EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0)); }
    void Send(const Packet& bytes, int port) {
        socket.writeDatagram(QByteArray::fromStdString(bytes), QHostAddress::LocalHost, static_cast<quint16>(port));
    }
    std::vector<std::string> Received() {
        std::vector<std::string> got;
        while (socket.hasPendingDatagrams())
            got.push_back(Hex(socket.receiveDatagram().data().toStdString()));
        return got;
    }
};

TEST(UdpRole, TwoSendersEachGetTheirOwnAnswers) {
    HeadlessHost host(HostRole::Server({"0=Test,U"}));
    const int port = host.Opening().Port;
    host.engine.Registers().HoldingRegisters[0] = 0x1111;
    host.engine.Registers().HoldingRegisters[1] = 0x2222;
    Sender a;
    Sender b;
    a.Send(ReadHoldingRequest(0xA1, 0, 1), port);
    b.Send(ReadHoldingRequest(0xB1, 1, 1), port);
    a.Send(ReadHoldingRequest(0xA2, 1, 1), port);
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 3; }));
    ASSERT_TRUE(WaitUntil([&] { return a.socket.hasPendingDatagrams() && b.socket.hasPendingDatagrams(); }));
    // Every answer is sent before the next datagram is taken, so all are here.
    EXPECT_EQ(a.Received(), (std::vector<std::string>{"00 A1 00 00 00 05 01 03 02 11 11",
                                                      "00 A2 00 00 00 05 01 03 02 22 22"}));
    EXPECT_EQ(b.Received(), (std::vector<std::string>{"00 B1 00 00 00 05 01 03 02 22 22"}));
    EXPECT_EQ(host.manager.PacketsSent(), 3);
    EXPECT_EQ(host.manager.DataState(), kSocketClosed);  // no connection in UDP
    EXPECT_TRUE(WaitUntil([&] { return host.manager.ConnectionColour() == kColourNotConnected; }));
}

TEST(UdpRole, SenderGoneBeforeItsAnswerDoesNotStopTheNextOne) {
    HeadlessHost host(HostRole::Server({"0=Test,U"}));
    const int port = host.Opening().Port;
    // The answer to a closed port comes back as an ICMP error on our socket.
    {
        Sender gone;
        gone.Send(ReadHoldingRequest(1, 0, 1), port);
    }
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 1; }));
    WaitUntil([] { return false; }, 50);  // lets the error report arrive
    Sender next;
    for (int round = 0; round < 3; ++round) {
        next.Send(ReadHoldingRequest(2, 0, 1), port);
        ASSERT_TRUE(WaitUntil([&] { return next.socket.hasPendingDatagrams(); })) << "round " << round;
        EXPECT_EQ(next.Received(), std::vector<std::string>{"00 02 00 00 00 05 01 03 02 00 00"});
    }
}

TEST(ClientRole, ConnectsToTheMasterIsServedAndConnectsAgainAfterTheMasterCloses) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));  // IPv4 only
    std::vector<QTcpSocket*> connections;
    QObject::connect(&master, &QTcpServer::newConnection,
                     [&] { connections.push_back(master.nextPendingConnection()); });
    // A name, not an address: it must be reached over IPv4.
    HeadlessHost host(HostRole::Client("localhost", master.serverPort()));
    int errors = 0;
    std::vector<int32_t> colours;
    QObject::connect(&host.sockets.Winsock_Data, &WinsockControl::Error, [&](int, const QString&) { ++errors; });
    QObject::connect(&host.manager, &ConnectionManager::ConnectionColourChanged,
                     [&](int32_t colour) { colours.push_back(colour); });
    host.engine.Registers().HoldingRegisters[0] = 0x4242;

    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.ConnectionColour() == kColourConnected; }));
    EXPECT_EQ(host.manager.DataRemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(host.manager.DataRemotePort(), master.serverPort());

    const QByteArray request = QByteArray::fromStdString(ReadHoldingRequest(1, 0, 1));
    connections[0]->write(request);
    ASSERT_TRUE(WaitUntil([&] { return connections[0]->bytesAvailable() >= 11; }));
    EXPECT_EQ(Hex(connections[0]->readAll().toStdString()), "00 01 00 00 00 05 01 03 02 42 42");

    connections[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return colours.size() == 4; }));
    EXPECT_EQ(colours, (std::vector<int32_t>{kColourNotConnected, kColourConnected,
                                             kColourNotConnected, kColourConnected}));
    connections[1]->write(request);
    ASSERT_TRUE(WaitUntil([&] { return connections[1]->bytesAvailable() >= 11; }));
    // Nothing resets the counters in client mode.
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
    EXPECT_EQ(errors, 0);
}

}  // namespace
}  // namespace tarvik
