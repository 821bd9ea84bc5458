// The TCP server role end to end: a master on 127.0.0.1 against the headless
// host, on the same event loop.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/transport/host_test_support.h"
#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::Bytes;
using nettest::Hex;
using nettest::RawMaster;
using nettest::ReadHoldingRequest;
using nettest::WaitUntil;

struct ServerFixture : ::testing::Test {
    HeadlessHost host{HostRole::Server({"0=Test"})};

    quint16 Port() const { return static_cast<quint16>(host.Opening().Port); }
    bool Connected(const RawMaster& master) const {
        return host.sockets.Winsock_Data.State() == kSocketConnected &&
               host.manager.DataRemotePort() == master.LocalPort();
    }
    void Serve(RawMaster& master) {
        ASSERT_TRUE(master.Connect(Port()));
        ASSERT_TRUE(WaitUntil([&] { return Connected(master); }));
    }
};

TEST_F(ServerFixture, MasterReadsAndWritesRegisters) {
    ASSERT_EQ(host.Opening().Outcome, PortOpening::Opened);
    auto& holding = host.engine.Registers().HoldingRegisters;
    holding[0] = 10;
    holding[1] = 20;
    host.engine.Registers().InputRegisters[7] = 0xBEEF;
    RawMaster master;
    Serve(master);
    EXPECT_EQ(host.manager.DataRemoteHostIP(), "127.0.0.1");

    master.Send(Bytes("00 01 00 00 00 06 01 03 00 00 00 02"));
    EXPECT_EQ(Hex(master.Read(13)), "00 01 00 00 00 07 01 03 04 00 0A 00 14");

    master.Send(Bytes("00 02 00 00 00 06 01 04 00 07 00 01"));
    EXPECT_EQ(Hex(master.Read(11)), "00 02 00 00 00 05 01 04 02 BE EF");

    master.Send(Bytes("00 03 00 00 00 06 11 06 00 05 12 34"));
    EXPECT_EQ(Hex(master.Read(12)), "00 03 00 00 00 06 11 06 00 05 12 34");
    EXPECT_EQ(holding[5], 0x1234);

    const Packet writeMultiple = Bytes("00 04 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02");
    master.Send(writeMultiple);
    EXPECT_EQ(Hex(master.Read(writeMultiple.size())), Hex(writeMultiple));
    EXPECT_EQ(holding[10], 1);
    EXPECT_EQ(holding[11], 2);

    EXPECT_EQ(host.manager.PacketsReceived(), 4);
    EXPECT_EQ(host.manager.PacketsSent(), 4);
}

TEST_F(ServerFixture, ArrivalsAndAnswersAreDumpedAsTheyCrossTheSocket) {
    host.engine.Registers().HoldingRegisters[0] = 10;
    host.engine.Registers().HoldingRegisters[1] = 20;
    RawMaster master;
    Serve(master);
    master.Send(ReadHoldingRequest(1, 0, 2));
    ASSERT_EQ(master.Read(13).size(), 13u);
    const std::vector<std::string> expected = {
        "<- Raw: 00 01 00 00 00 06 01 03 00 00 00 02 ",
        "<- 0001 Read Holding Registers 0, count 2",
        "-> Raw: 00 01 00 00 00 07 01 03 04 00 0A 00 14 ",
        "-> 0001 0000 Read Holding Registers 0, data 04 00 0A 00 14 ",
        "",
    };
    EXPECT_EQ(nettest::TraceWithoutTimes(host.trace), expected);
}

TEST_F(ServerFixture, SecondMasterDropsTheFirstAndStartsFromZero) {
    RawMaster first;
    Serve(first);
    first.Send(ReadHoldingRequest(1, 0, 1));
    ASSERT_EQ(first.Read(11).size(), 11u);
    first.Send(Bytes("00 02 00 00 00"));  // a frame begun, never finished
    ASSERT_TRUE(WaitUntil([&] { return host.engine.ReceiveBuffer().size() == 5; }));
    ASSERT_EQ(host.manager.PacketsReceived(), 2);
    ASSERT_EQ(host.manager.PacketsSent(), 1);

    RawMaster second;
    Serve(second);
    EXPECT_TRUE(first.WaitClosed());
    EXPECT_EQ(host.manager.PacketsReceived(), 0);
    EXPECT_EQ(host.manager.PacketsSent(), 0);
    EXPECT_TRUE(host.engine.ReceiveBuffer().empty());

    // Served from a clean buffer: the first master's half frame is gone.
    second.Send(ReadHoldingRequest(9, 0, 1));
    EXPECT_EQ(Hex(second.Read(11)), "00 09 00 00 00 05 01 03 02 00 00");
    EXPECT_EQ(host.manager.PacketsReceived(), 1);
    EXPECT_EQ(host.manager.PacketsSent(), 1);
}

TEST_F(ServerFixture, FrameInTwoSegmentsIsAnsweredOnceAfterTheSecond) {
    host.engine.Registers().HoldingRegisters[3] = 0x0102;
    RawMaster master;
    Serve(master);
    const Packet request = ReadHoldingRequest(0x0A0B, 3, 1);
    master.Send(request.substr(0, 9));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 1; }));
    EXPECT_EQ(host.manager.PacketsSent(), 0);
    EXPECT_TRUE(master.TakeArrived().empty());

    master.Send(request.substr(9));
    EXPECT_EQ(Hex(master.Read(11)), "0A 0B 00 00 00 05 01 03 02 01 02");
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
    EXPECT_EQ(host.manager.PacketsSent(), 1);
    // Nothing more follows: the next bytes are the next request's answer.
    master.Send(ReadHoldingRequest(0x0C0D, 3, 1));
    EXPECT_EQ(Hex(master.Read(11)), "0C 0D 00 00 00 05 01 03 02 01 02");
}

TEST_F(ServerFixture, SeveralFramesInOneSegmentAreAnsweredInOrderInOneWrite) {
    for (int i = 0; i < 3; ++i) host.engine.Registers().HoldingRegisters[i] = 0x10 + i;
    RawMaster master;
    Serve(master);
    // Runs right after the manager's handler of the same arrival: the answers
    // are queued then, and none has reached the master yet.
    std::vector<long> peekedDuringArrival;
    QObject::connect(&host.sockets.Winsock_Data, &WinsockControl::DataArrival, [&](int32_t) {
        char byte = 0;
        peekedDuringArrival.push_back(static_cast<long>(::recv(
            static_cast<int>(master.Socket().socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT)));
    });
    master.Send(ReadHoldingRequest(1, 0, 1) + ReadHoldingRequest(2, 1, 1) +
                ReadHoldingRequest(3, 2, 1));
    ASSERT_TRUE(WaitUntil([&] { return master.Socket().bytesAvailable() > 0; }));
    EXPECT_EQ(peekedDuringArrival, std::vector<long>{-1});
    // Written together once the arrival was handled, so they came in one piece.
    EXPECT_EQ(Hex(master.TakeArrived()),
              "00 01 00 00 00 05 01 03 02 00 10 "
              "00 02 00 00 00 05 01 03 02 00 11 "
              "00 03 00 00 00 05 01 03 02 00 12");
    EXPECT_EQ(host.manager.PacketsReceived(), 1);
}

TEST_F(ServerFixture, MasterThatReconnectsAtOnceIsServedOnTheNewConnection) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        auto leaving = std::make_unique<RawMaster>();
        ASSERT_TRUE(leaving->Connect(Port()));
        leaving->Send(ReadHoldingRequest(1, 0, 1));
        leaving->Socket().disconnectFromHost();
        RawMaster coming;
        coming.Socket().connectToHost(QStringLiteral("127.0.0.1"), Port());
        ASSERT_TRUE(WaitUntil([&] { return Connected(coming); }));
        coming.Send(ReadHoldingRequest(2, 0, 1));
        ASSERT_EQ(Hex(coming.Read(11)), "00 02 00 00 00 05 01 03 02 00 00");
        EXPECT_EQ(host.sockets.Winsock_Data.State(), kSocketConnected);
        leaving.reset();
    }
}

TEST_F(ServerFixture, ColourIsGreenOnlyWhileAMasterIsConnected) {
    std::vector<int32_t> colours;
    QObject::connect(&host.manager, &ConnectionManager::ConnectionColourChanged,
                     [&](int32_t colour) { colours.push_back(colour); });
    EXPECT_EQ(host.manager.ConnectionColour(), kColourUnset);
    ASSERT_TRUE(WaitUntil([&] { return colours.size() == 1; }));
    EXPECT_EQ(colours.back(), kColourNotConnected);
    {
        RawMaster master;
        Serve(master);
        ASSERT_TRUE(WaitUntil([&] { return colours.size() == 2; }));
        EXPECT_EQ(colours.back(), kColourConnected);
    }
    ASSERT_TRUE(WaitUntil([&] { return colours.size() == 3; }));
    EXPECT_EQ(colours, (std::vector<int32_t>{kColourNotConnected, kColourConnected,
                                             kColourNotConnected}));
    EXPECT_EQ(host.sockets.Winsock_Data.State(), kSocketClosed);
    EXPECT_EQ(host.manager.ConnectionColour(), kColourNotConnected);
}

TEST_F(ServerFixture, MasterLeavingWhileAnswersWaitCrashesNothingAndSendsNothing) {
    host.options.delayAnswer = true;
    host.options.delayText = "300";
    RawMaster master;
    Serve(master);
    master.Send(ReadHoldingRequest(1, 0, 1) + ReadHoldingRequest(2, 0, 1));
    ASSERT_TRUE(WaitUntil([&] { return host.dispatcher.AnswerQueue().size() == 2; }));
    master.Socket().disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return host.sockets.Winsock_Data.State() == kSocketClosed; }));
    ASSERT_TRUE(WaitUntil([&] { return host.dispatcher.AnswerQueue().empty(); }));
    EXPECT_EQ(host.manager.PacketsSent(), 0);
    // Dumped on their ticks all the same, as the view flag asks.
    EXPECT_EQ(nettest::CountTraceLines(host.trace, "-> Raw: 00 0"), 2);
}

TEST_F(ServerFixture, BufferPastItsBoundClosesTheConnectionAndTheNextMasterIsServed) {
    host.options.dontAnswer = true;  // everything sent is held back
    host.options.showRawData = false;
    RawMaster flooding;
    Serve(flooding);
    const Packet chunk(std::size_t{1} << 20, '\x01');
    for (int mib = 0; mib < 65; ++mib) flooding.Socket().write(chunk.data(), chunk.size());
    ASSERT_TRUE(WaitUntil(
        [&] {
            return nettest::CountTraceLines(host.trace,
                                            "Receive buffer over 64 MiB, connection closed") == 1;
        },
        60000));
    EXPECT_TRUE(flooding.WaitClosed());
    EXPECT_TRUE(host.engine.ReceiveBuffer().empty());
    EXPECT_EQ(host.sockets.Winsock_Data.State(), kSocketClosed);

    host.options.dontAnswer = false;
    RawMaster next;
    Serve(next);
    next.Send(ReadHoldingRequest(3, 0, 1));
    EXPECT_EQ(Hex(next.Read(11)), "00 03 00 00 00 05 01 03 02 00 00");
}

TEST_F(ServerFixture, MasterThatStopsReadingIsHeldBackAndLosesNoAnswer) {
    host.options.showRawData = false;
    host.options.showReads = false;
    RawMaster master;
    Serve(master);
    master.Socket().setReadBufferSize(1024);  // the master reads next to nothing
    constexpr int kRequests = 100000;          // 1.2 MB asking for 26 MB
    constexpr std::size_t kAnswerSize = 9 + 2 * 125;
    Packet requests;
    for (int i = 0; i < kRequests; ++i) requests += ReadHoldingRequest(i & 0xFFFF, 0, 125);
    master.Send(requests);

    const WinsockControl& data = host.sockets.Winsock_Data;
    ASSERT_TRUE(WaitUntil([&] { return data.BytesToWrite() > kWriteBacklogBytes; }, 30000));
    WaitUntil([] { return false; }, 300);  // give it every chance to take more
    // At most the answers to one more arrival beyond the backlog.
    EXPECT_LE(data.BytesToWrite(),
              kWriteBacklogBytes + static_cast<int64_t>(kMaxGetDataBytes / 12 * kAnswerSize));
    EXPECT_LT(host.manager.PacketsSent(), kRequests);

    master.Socket().setReadBufferSize(0);
    const Packet answers = master.Read(kRequests * kAnswerSize, 60000);
    ASSERT_EQ(answers.size(), kRequests * kAnswerSize);
    int outOfOrder = 0;
    for (int i = 0; i < kRequests; ++i)
        outOfOrder += GetWord(answers, static_cast<std::size_t>(i) * kAnswerSize) != (i & 0xFFFF);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(host.manager.PacketsSent(), kRequests);
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

TEST_F(ServerFixture, ConnectionsComingAndGoingLeaveNoDescriptorOpen) {
    {
        RawMaster warmUp;  // lets the libraries open what they keep
        Serve(warmUp);
    }
    ASSERT_TRUE(WaitUntil([&] { return host.manager.DataState() == kSocketClosed; }));
    const int before = OpenDescriptors();
    for (int round = 0; round < 30; ++round) {
        RawMaster first;
        Serve(first);
        first.Send(ReadHoldingRequest(1, 0, 1));
        RawMaster second;  // replaces the first
        Serve(second);
        second.Send(Packet(3, '\0'));
        ASSERT_TRUE(first.WaitClosed());
    }
    ASSERT_TRUE(WaitUntil([&] { return host.manager.DataState() == kSocketClosed; }));
    EXPECT_TRUE(WaitUntil([&] { return OpenDescriptors() == before; }));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ServerFixture, StatusIsRefreshedOnAcceptArrivalAndClose) {
    const int atStart = host.status.calls;
    RawMaster master;
    Serve(master);
    EXPECT_EQ(host.status.calls, atStart + 1);
    master.Send(ReadHoldingRequest(1, 0, 1));
    ASSERT_EQ(master.Read(11).size(), 11u);
    EXPECT_EQ(host.status.calls, atStart + 2);
    master.Socket().disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return host.sockets.Winsock_Data.State() == kSocketClosed; }));
    EXPECT_EQ(host.status.calls, atStart + 3);
    EXPECT_EQ(host.manager.DataState(), kSocketClosed);
    EXPECT_EQ(host.manager.ListenLocalPort(), Port());
}

}  // namespace
}  // namespace tarvik
