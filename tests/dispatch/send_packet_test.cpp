// Answers framed and sent at once: wire bytes, socket choice, raw dump and the sent count.
#include <gtest/gtest.h>

#include "dispatch/answer_frame.h"
#include "dispatch_fakes.h"

namespace tarvik::testing {
namespace {

TEST(AnswerFrame, CarriesRequestHeaderFreshLengthFunctionAndData) {
    // The request's own Length (99) is never reused.
    EXPECT_EQ(
        HexOf(AssembleAnswer(MbapHeader{0x0102, 0, 99, 0x11}, kReadHoldingRegisters, Bytes("04 00 0A 00 14"))),
        "01 02 00 00 00 07 11 03 04 00 0A 00 14");
    EXPECT_EQ(HexOf(AssembleAnswer(MbapHeader{0xFFFF, 0x1234, 0, 0xFF}, kUnsupportedFunctionByte, Bytes("02"))),
              "FF FF 12 34 00 03 FF 81 02");
    // Write Multiple Registers with the largest Length echoes 65533 bytes.
    const Packet longest =
        AssembleAnswer(MbapHeader{1, 0, 0, 1}, kWriteMultipleRegisters, Packet(65533, '\x5A'));
    ASSERT_EQ(longest.size(), 65541u);
    EXPECT_EQ(HexOf(longest.substr(0, 9)), "00 01 00 00 FF FF 01 10 5A");
}

TEST(SendAtOnce, ConnectedDataSocketGetsTheFrameAfterItsOptionalDump) {
    DispatchRig rig;
    rig.Answer(1);
    rig.Answer(2, true);
    EXPECT_EQ(rig.log, (Log{"data " + DispatchRig::Frame(1), "raw -> " + DispatchRig::Frame(2),
                            "data " + DispatchRig::Frame(2)}));
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);
}

TEST(SendAtOnce, DataSocketNotConnectedDropsTheFrameAfterItsDumpButUdpGoesToTheSender) {
    using enum SocketState;
    for (const SocketState state : {Closed, Open, Listening, ConnectionPending, ResolvingHost, HostResolved,
                                    Connecting, PeerClosing, Error}) {
        SCOPED_TRACE(static_cast<int>(state));
        DispatchRig rig;
        rig.ports.state = state;
        rig.Answer(3, true);
        EXPECT_EQ(rig.log, Log{"raw -> " + DispatchRig::Frame(3)});
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());

        rig.ports.udp = true;
        rig.Answer(4);
        rig.ports.senderHost = "10.0.0.9";
        rig.ports.senderPort = 65535;
        rig.Answer(5);
        EXPECT_EQ(rig.log, (Log{"raw -> " + DispatchRig::Frame(3), "udp 10.0.0.1:502 " + DispatchRig::Frame(4),
                                "udp 10.0.0.9:65535 " + DispatchRig::Frame(5)}));
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);
    }
}

TEST(SendAtOnce, SentCountHoldsOnlyFramesASocketAccepted) {
    DispatchRig rig;
    rig.ports.accept = false;  // a refused send is no sent packet, TCP or UDP
    rig.Answer(1);
    rig.ports.udp = true;
    rig.Answer(2);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{1, 2}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);

    rig.ports.accept = true;
    rig.Answer(3);
    rig.Answer(4);
    rig.dispatcher.ResetPacketsSent();
    rig.Answer(5);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

}  // namespace
}  // namespace tarvik::testing
