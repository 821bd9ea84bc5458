// The UDP role, where every datagram is a request answered to its own
// sender, and the TCP client role, which connects out to the master.
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/qt/event_waits.h"
#include "tests/support/core_rig.h"
#include "tests/transport/qt_test_support.h"

namespace tarvik::testing {
namespace {

using test::WaitUntil;
using Packets = std::vector<Packet>;

struct Sender {
    QUdpSocket socket;
    Sender() { EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0)); }
    void Send(const Packet& bytes, int port) {
        socket.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()),
                             QHostAddress::LocalHost, static_cast<quint16>(port));
    }
    // The datagrams that came until `count` had, or until the wait ran out.
    Packets Receive(std::size_t count = 1) {
        Packets got;
        WaitUntil([&] {
            while (socket.hasPendingDatagrams())
                got.push_back(socket.receiveDatagram().data().toStdString());
            return got.size() >= count;
        });
        return got;
    }
    SenderKey Key() const { return {0x7F000001, socket.localPort()}; }
};

struct UdpRole : ::testing::Test {
    CoreRig rig{ServerSettings({"0=Test,U"})};
    const int port = rig.Port();
    SlaveEngine& engine = rig.core.Engine();
    Sender a, b;
};

// Trouble with one sender never silences another: one went away before its
// answer (an ICMP error comes back), one left a cut frame (its Length says
// 100). Another is answered at once with its own ids, and its frame split
// over two datagrams is still completed.
TEST_F(UdpRole, OneSendersTroubleNeverSilencesAnother) {
    rig.core.Registers().HoldingRegisters[1] = 0x2222;
    {
        Sender gone;
        gone.Send(ReadRequest(1, 3, 0, 1), port);
    }
    a.Send(
        PutWord(0xA1) + PutWord(0) + PutWord(100) + ByteOf(1) + ByteOf(3) + PutWord(1) + PutWord(1),
        port);
    ASSERT_TRUE(WaitUntil([&] { return engine.PacketsReceived() == 2; }));
    test::RunEventsFor(50);  // lets the error report arrive
    for (int t = 0xB1; t <= 0xB3; ++t) {
        b.Send(ReadRequest(t, 3, 1, 1), port);
        EXPECT_EQ(b.Receive(), Packets{ReadAnswer(t, 0x2222)});
    }
    const Packet split = ReadRequest(0xB4, 3, 1, 1);
    b.Send(split.substr(0, 7), port);
    b.Send(split.substr(7), port);
    EXPECT_EQ(b.Receive(), Packets{ReadAnswer(0xB4, 0x2222)});
    EXPECT_EQ(engine.ReceiveBuffer(a.Key()).size(), 12u);
    EXPECT_EQ(a.Receive(0), Packets{});
}

TEST(ClientRole, ConnectsOutAndAfterAHalfFrameAndADropServesTheNextConnectionAfresh) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));  // IPv4 only
    std::vector<QTcpSocket*> connections;
    QObject::connect(&master, &QTcpServer::newConnection,
                     [&] { connections.push_back(master.nextPendingConnection()); });
    // A name, not an address: it must be reached over IPv4.
    CoreRig rig(ClientSettings("localhost", master.serverPort()));
    const TcpConnection& data = rig.core.Sockets().data;
    int errors = 0;
    QObject::connect(&data, &TcpConnection::Failed, [&](const SocketError&) { ++errors; });
    rig.core.Registers().HoldingRegisters[0] = 0x4242;
    const auto answered = [&](QTcpSocket* peer, int transaction) {
        peer->write(QByteArray::fromStdString(ReadRequest(transaction, 3, 0, 1)));
        EXPECT_TRUE(WaitUntil([&] { return peer->bytesAvailable() >= 11; }));
        return peer->readAll().toStdString() == ReadAnswer(transaction, 0x4242);
    };

    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return rig.core.ConnectionColour() == kColourConnected; }));
    EXPECT_EQ(data.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(data.RemotePort(), master.serverPort());
    EXPECT_TRUE(answered(connections[0], 1));

    // Half a frame, then the master drops the connection.
    connections[0]->write(QByteArray::fromStdString(ReadRequest(2, 3, 0, 1).substr(0, 6)));
    ASSERT_TRUE(WaitUntil([&] { return rig.core.Engine().ReceiveBuffer().size() == 6; }));
    connections[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return connections.size() == 2; }));
    EXPECT_TRUE(answered(connections[1], 3));
    // Nothing resets the counters in client mode.
    EXPECT_EQ(rig.core.Engine().PacketsReceived(), 3);
    EXPECT_EQ(errors, 0);
}

}  // namespace
}  // namespace tarvik::testing
