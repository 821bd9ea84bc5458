// The three roles end to end, masters on 127.0.0.1 against the core on the
// same event loop: the TCP server, UDP, and the TCP client.
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <functional>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/frame_loop.h"
#include "testkit/qt/event_waits.h"
#include "testkit/qt/qt_master.h"
#include "tests/support/core_rig.h"
#include "tests/transport/qt_test_support.h"
#include "transport/socket_limits.h"

namespace tarvik::testing {
namespace {

using test::WaitUntil;

// Reads of 127 registers with the ids first, first + 1... (mod 65536), and
// the size of each answer: header, function byte, byte count, 254 bytes.
constexpr int64_t kAnswerSize = 9 + 2 * 127;
Packet Reads(int first, int count) {
    Packet out;
    for (int i = first; i < first + count; ++i) out += ReadRequest(i & 0xFFFF, 3, 0, 127);
    return out;
}

struct ServerFixture : ::testing::Test {
    CoreRig rig{ServerSettings({"0=Test"})};
    SlaveEngine& engine = rig.core.Engine();
    TcpConnection& data = rig.core.Sockets().data;

    void Serve(QtMaster& master) {
        ASSERT_TRUE(master.Connect(rig.Port()));
        ASSERT_TRUE(WaitUntil([&] {
            return data.State() == SocketState::Connected &&
                   data.RemotePort() == master.LocalPort();
        }));
    }
    // Floods would fill the trace with their dumps and read lines.
    void Quiet() {
        rig.options.showRawData = rig.options.showReads = false;
        rig.ApplyOptions();
    }
    int32_t Sent() { return rig.core.Dispatcher().PacketsSent(); }

    // Reads the answers to Reads(0, count): whole, in order, nothing else.
    // Notes the largest write backlog seen meanwhile.
    void ExpectAnswersInOrder(QtMaster& master, int count) {
        const int64_t size = count * kAnswerSize;
        ASSERT_TRUE(WaitUntil(
            [&] {
                largestBacklog = std::max(largestBacklog, data.BytesToWrite());
                return master.Socket().bytesAvailable() >= size;
            },
            60000))
            << master.Socket().bytesAvailable() << " of " << size << " bytes";
        const Packet answers = master.Socket().readAll().toStdString();
        int wrong = answers.size() != static_cast<std::size_t>(size);
        for (int i = 0; i < count; ++i)
            wrong += GetWord(answers, static_cast<std::size_t>(i * kAnswerSize)) != (i & 0xFFFF);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(Sent(), count);
    }
    int64_t largestBacklog = 0;
};

TEST_F(ServerFixture, FramesSplitOrMergedAcrossSegmentsAreAnsweredInOrderInOneWrite) {
    for (int i = 0; i < 3; ++i) rig.core.Registers().HoldingRegisters[i] = 0x10 + i;
    QtMaster master;
    Serve(master);
    const Packet split = ReadRequest(0x0A0B, 3, 0, 1);
    master.Send(split.substr(0, 9));
    ASSERT_TRUE(WaitUntil([&] { return engine.PacketsReceived() == 1; }));
    EXPECT_EQ(master.Arrived(), "");

    // Runs right after the manager's handler of the same arrival: the answers
    // are queued then, and none has reached the master yet.
    std::vector<long> peekedDuringArrival;
    const std::function<void()> managers = data.OnDataArrival(nullptr);
    data.OnDataArrival([&] {
        managers();
        char byte = 0;
        peekedDuringArrival.push_back(
            static_cast<long>(::recv(static_cast<int>(master.Socket().socketDescriptor()), &byte, 1,
                                     MSG_PEEK | MSG_DONTWAIT)));
    });
    master.Send(split.substr(9) + ReadRequest(2, 3, 1, 1) + ReadRequest(3, 3, 2, 1));
    ASSERT_TRUE(WaitUntil([&] { return master.Socket().bytesAvailable() > 0; }));
    EXPECT_EQ(peekedDuringArrival, std::vector<long>{-1});
    // Written together once the arrival was handled, so they came in one piece.
    EXPECT_EQ(master.Arrived(),
              ReadAnswer(0x0A0B, 0x10) + ReadAnswer(2, 0x11) + ReadAnswer(3, 0x12));
}

// The first master leaves half a frame and a delayed answer behind; neither
// may reach the master that replaces it, nor count for it.
TEST_F(ServerFixture, NewMasterStartsCleanAndNeverSeesTheDroppedMastersDelayedAnswer) {
    rig.options.delayAnswer = true;
    rig.options.delayText = "300";
    rig.ApplyOptions();
    QtMaster first;
    Serve(first);
    first.Send(ReadRequest(1, 3, 0, 1) + ReadRequest(2, 3, 0, 1).substr(0, 5));
    ASSERT_TRUE(WaitUntil([&] { return engine.ReceiveBuffer().size() == 5; }));
    ASSERT_EQ(rig.core.Dispatcher().AnswerQueue().size(), 1u);

    QtMaster second;
    Serve(second);
    EXPECT_TRUE(first.WaitClosed());
    EXPECT_TRUE(engine.ReceiveBuffer().empty());

    second.Send(ReadRequest(9, 3, 0, 1));
    EXPECT_EQ(second.ReceiveFrame(), ReadAnswer(9, 0));  // the old one fell due first
    EXPECT_EQ(second.Arrived(), "");
    EXPECT_TRUE(rig.core.Dispatcher().AnswerQueue().empty());
    EXPECT_EQ(Sent(), 1);  // the dropped one does not count
}

TEST_F(ServerFixture, BufferPastItsBoundClosesTheConnectionAndTheNextMasterIsServed) {
    rig.options.dontAnswer = true;  // everything sent is held back
    rig.ApplyOptions();
    Quiet();
    QtMaster flooding;
    Serve(flooding);
    const Packet chunk(std::size_t{1} << 20, '\x01');
    for (int mib = 0; mib < 65; ++mib) flooding.Socket().write(chunk.data(), chunk.size());
    EXPECT_TRUE(flooding.WaitClosed(60000));
    EXPECT_TRUE(engine.ReceiveBuffer().empty());
    EXPECT_EQ(data.State(), SocketState::Closed);

    rig.options.dontAnswer = false;
    rig.ApplyOptions();
    QtMaster next;
    Serve(next);
    next.Send(ReadRequest(3, 3, 0, 1));
    EXPECT_EQ(next.ReceiveFrame(), ReadAnswer(3, 0));
}

TEST_F(ServerFixture, MasterThatStopsReadingIsHeldBackAndLosesNoAnswer) {
    Quiet();
    QtMaster master;
    Serve(master);
    master.Socket().setReadBufferSize(1024);  // the master reads next to nothing
    constexpr int kRequests = 100000;         // 1.2 MB asking for 26 MB
    master.Send(Reads(0, kRequests));

    ASSERT_TRUE(WaitUntil([&] { return data.BytesToWrite() > kWriteBacklogBytes; }, 30000));
    test::RunEventsFor(300);  // give it every chance to take more
    // At most the answers to one more arrival beyond the backlog.
    EXPECT_LE(data.BytesToWrite(),
              kWriteBacklogBytes + static_cast<int64_t>(kMaxGetDataBytes / 12) * kAnswerSize);
    EXPECT_LT(Sent(), kRequests);
    master.Socket().setReadBufferSize(0);
    ExpectAnswersInOrder(master, kRequests);
}

// Cleared, the hold is answered slice by slice as the master reads, never
// as one burst waiting to be written.
TEST_F(ServerFixture, TwoMiBHeldComeBackCompleteAndInOrderWithoutABurst) {
    Quiet();
    rig.options.dontAnswer = true;
    rig.ApplyOptions();
    constexpr int kHeld = 2 * 1024 * 1024 / 12;
    QtMaster master;
    Serve(master);
    master.Send(Reads(0, kHeld));
    ASSERT_TRUE(WaitUntil([&] { return engine.ReceiveBuffer().size() == kHeld * 12u; }, 30000));
    EXPECT_EQ(master.Arrived(), "");

    rig.options.dontAnswer = false;
    rig.ApplyOptions();
    master.Send(Reads(kHeld, 1));
    ExpectAnswersInOrder(master, kHeld + 1);
    EXPECT_LE(largestBacklog, kWriteBacklogBytes + 2 * static_cast<int64_t>(kReleaseSliceBytes));
}

// The UDP role, where every datagram is a request answered to its own
// sender, and the TCP client role, which connects out to the master.
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
