// The UDP role: every datagram is a request, answered to its own sender.
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::Bytes;
using nettest::Hex;
using nettest::ReadHoldingRequest;
using nettest::WaitUntil;

struct Sender {
    QUdpSocket socket;
    Sender() { EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0)); }
    void Send(const Packet& bytes, int port) {
        socket.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()),
                             QHostAddress::LocalHost, static_cast<quint16>(port));
    }
    std::vector<std::string> Received() {
        std::vector<std::string> got;
        while (socket.hasPendingDatagrams()) {
            const QByteArray data = socket.receiveDatagram().data();
            got.push_back(Hex(Packet(data.constData(), static_cast<std::size_t>(data.size()))));
        }
        return got;
    }
};

struct UdpFixture : ::testing::Test {
    HeadlessHost host{HostRole::Server({"0=Test,U"})};
    int Port() const { return host.Opening().Port; }
};

TEST_F(UdpFixture, TwoSendersEachGetTheirOwnAnswers) {
    host.engine.Registers().HoldingRegisters[0] = 0x1111;
    host.engine.Registers().HoldingRegisters[1] = 0x2222;
    Sender a;
    Sender b;
    a.Send(ReadHoldingRequest(0xA1, 0, 1), Port());
    b.Send(ReadHoldingRequest(0xB1, 1, 1), Port());
    a.Send(ReadHoldingRequest(0xA2, 1, 1), Port());
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 3; }));
    ASSERT_TRUE(WaitUntil([&] { return a.socket.hasPendingDatagrams() && b.socket.hasPendingDatagrams(); }));
    // Every answer is sent before the next datagram is taken, so all are here.
    EXPECT_EQ(a.Received(), (std::vector<std::string>{"00 A1 00 00 00 05 01 03 02 11 11",
                                                      "00 A2 00 00 00 05 01 03 02 22 22"}));
    EXPECT_EQ(b.Received(), (std::vector<std::string>{"00 B1 00 00 00 05 01 03 02 22 22"}));
    EXPECT_EQ(host.manager.PacketsSent(), 3);
}

TEST_F(UdpFixture, ExchangesOneAfterAnotherAreEachAnswered) {
    // A master that waits for each answer before it sends again.
    Sender a;
    Sender b;
    for (int round = 0; round < 3; ++round) {
        for (Sender* sender : {&a, &b}) {
            sender->Send(ReadHoldingRequest(round, 0, 1), Port());
            ASSERT_TRUE(WaitUntil([&] { return sender->socket.hasPendingDatagrams(); }))
                << "round " << round;
            EXPECT_EQ(sender->Received().size(), 1u);
        }
    }
    EXPECT_EQ(host.manager.PacketsReceived(), 6);
}

TEST_F(UdpFixture, SenderGoneBeforeItsAnswerDoesNotStopTheNextOne) {
    // The answer to a closed port comes back as an ICMP error on our socket.
    {
        Sender gone;
        gone.Send(ReadHoldingRequest(1, 0, 1), Port());
    }
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 1; }));
    WaitUntil([] { return false; }, 50);  // lets the error report arrive
    Sender next;
    for (int round = 0; round < 3; ++round) {
        next.Send(ReadHoldingRequest(2, 0, 1), Port());
        ASSERT_TRUE(WaitUntil([&] { return next.socket.hasPendingDatagrams(); })) << "round " << round;
        EXPECT_EQ(next.Received().size(), 1u);
    }
}

TEST_F(UdpFixture, FrameSplitOverTwoDatagramsIsAnsweredAfterTheSecond) {
    Sender sender;
    const Packet request = ReadHoldingRequest(7, 0, 1);
    sender.Send(request.substr(0, 5), Port());
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 1; }));
    EXPECT_TRUE(sender.Received().empty());
    EXPECT_EQ(host.engine.ReceiveBuffer().size(), 5u);

    sender.Send(request.substr(5), Port());
    ASSERT_TRUE(WaitUntil([&] { return sender.socket.hasPendingDatagrams(); }));
    EXPECT_EQ(sender.Received(), (std::vector<std::string>{"00 07 00 00 00 05 01 03 02 00 00"}));
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
}

TEST_F(UdpFixture, DataSocketStaysClosedAndTheWindowRed) {
    Sender sender;
    sender.Send(ReadHoldingRequest(1, 0, 1), Port());
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsSent() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.ConnectionColour() == kColourNotConnected; }));
    EXPECT_EQ(host.manager.DataState(), kSocketClosed);
    EXPECT_EQ(host.sockets.Winsock_UDP.RemoteHost(), "127.0.0.1");
    EXPECT_EQ(host.sockets.Winsock_UDP.RemotePort(), sender.socket.localPort());
}

}  // namespace
}  // namespace tarvik
