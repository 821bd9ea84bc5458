// The TCP server role end to end: a master on 127.0.0.1 against the headless
// host, on the same event loop.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

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

    void Serve(RawMaster& master) {
        ASSERT_TRUE(master.Connect(static_cast<quint16>(host.Opening().Port)));
        ASSERT_TRUE(WaitUntil([&] {
            return host.sockets.Winsock_Data.State() == kSocketConnected &&
                   host.manager.DataRemotePort() == master.socket.localPort();
        }));
    }
};

TEST_F(ServerFixture, MasterReadsAndWritesRegisters) {
    auto& holding = host.engine.Registers().HoldingRegisters;
    holding[0] = 10;
    holding[1] = 20;
    RawMaster master;
    Serve(master);
    master.Send(Bytes("00 01 00 00 00 06 01 03 00 00 00 02"));
    EXPECT_EQ(Hex(master.Read(13)), "00 01 00 00 00 07 01 03 04 00 0A 00 14");
    master.Send(Bytes("00 03 00 00 00 06 11 06 00 05 12 34"));
    EXPECT_EQ(Hex(master.Read(12)), "00 03 00 00 00 06 11 06 00 05 12 34");
    EXPECT_EQ(holding[5], 0x1234);
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
    EXPECT_EQ(host.manager.PacketsSent(), 2);
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

TEST_F(ServerFixture, FramesSplitOrMergedAcrossSegmentsAreAnsweredInOrderInOneWrite) {
    for (int i = 0; i < 3; ++i) host.engine.Registers().HoldingRegisters[i] = 0x10 + i;
    RawMaster master;
    Serve(master);
    const Packet split = ReadHoldingRequest(0x0A0B, 0, 1);
    master.Send(split.substr(0, 9));
    ASSERT_TRUE(WaitUntil([&] { return host.manager.PacketsReceived() == 1; }));
    EXPECT_EQ(host.manager.PacketsSent(), 0);
    EXPECT_TRUE(master.TakeArrived().empty());

    // Runs right after the manager's handler of the same arrival: the answers
    // are queued then, and none has reached the master yet.
    std::vector<long> peekedDuringArrival;
    QObject::connect(&host.sockets.Winsock_Data, &WinsockControl::DataArrival, [&](int32_t) {
        char byte = 0;
        peekedDuringArrival.push_back(static_cast<long>(::recv(
            static_cast<int>(master.socket.socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT)));
    });
    master.Send(split.substr(9) + ReadHoldingRequest(2, 1, 1) + ReadHoldingRequest(3, 2, 1));
    ASSERT_TRUE(WaitUntil([&] { return master.socket.bytesAvailable() > 0; }));
    EXPECT_EQ(peekedDuringArrival, std::vector<long>{-1});
    // Written together once the arrival was handled, so they came in one piece.
    EXPECT_EQ(Hex(master.TakeArrived()),
              "0A 0B 00 00 00 05 01 03 02 00 10 "
              "00 02 00 00 00 05 01 03 02 00 11 "
              "00 03 00 00 00 05 01 03 02 00 12");
    EXPECT_EQ(host.manager.PacketsReceived(), 2);
    EXPECT_EQ(host.manager.PacketsSent(), 3);
}

TEST_F(ServerFixture, BufferPastItsBoundClosesTheConnectionAndTheNextMasterIsServed) {
    host.options.dontAnswer = true;  // everything sent is held back
    host.options.showRawData = false;
    RawMaster flooding;
    Serve(flooding);
    const Packet chunk(std::size_t{1} << 20, '\x01');
    for (int mib = 0; mib < 65; ++mib) flooding.socket.write(chunk.data(), chunk.size());
    const auto closedLines = [&] {
        int n = 0;
        for (std::size_t row = 0; row < host.trace.LineCount(); ++row)
            n += host.trace.Line(row).find("Receive buffer over 64 MiB, connection closed") != std::string::npos;
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return closedLines() == 1; }, 60000));
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
    master.socket.setReadBufferSize(1024);  // the master reads next to nothing
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

    master.socket.setReadBufferSize(0);
    const Packet answers = master.Read(kRequests * kAnswerSize, 60000);
    ASSERT_EQ(answers.size(), kRequests * kAnswerSize);
    int outOfOrder = 0;
    for (int i = 0; i < kRequests; ++i)
        outOfOrder += GetWord(answers, static_cast<std::size_t>(i) * kAnswerSize) != (i & 0xFFFF);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(host.manager.PacketsSent(), kRequests);
}

}  // namespace
}  // namespace tarvik
