// How arrivals are cut into frames: split and joined frames, odd lengths,
// held frames, and the bound on the receive buffer.
#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

const char* kReadTwo = "00 01 00 00 00 06 01 03 00 00 00 02";

TEST(Framing, PartialFramesWaitForTheRestOfTheirLength) {
    EngineRig rig;
    // Length 10, of which 8 bytes after the length field arrive first.
    rig.Feed("00 07 00 00 00 0A 01 10 00 00 00 01 02 00");
    EXPECT_TRUE(rig.rec.answers.empty());
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), 14u);
    rig.Feed("05 FF");  // completes the frame; the trailing byte is part of the echo
    EXPECT_EQ(rig.engine.PacketsReceived(), 2);
    EXPECT_EQ(rig.rec.refreshes, 2);
    EXPECT_EQ(rig.Holding()[0], 5);
    EXPECT_EQ(rig.LastWire(), "00 07 00 00 00 0A 01 10 00 00 00 01 02 00 05 FF");
}

TEST(Framing, FewerThanSevenBytesAreOnlyDumpedAndCountedUntilANewConnectionEmptiesThem) {
    EngineRig rig;
    rig.options.showRaw = true;
    rig.Feed("00 01 00 00 00 06");
    EXPECT_EQ(rig.rec.lines, Lines{"RAW <- 00 01 00 00 00 06"});
    EXPECT_TRUE(rig.rec.answers.empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 1);
    EXPECT_EQ(rig.rec.refreshes, 1);

    rig.engine.ResetForNewConnection();
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 0);
    rig.Feed(kReadTwo);
    EXPECT_EQ(rig.rec.answers.size(), 1u);

    // A new outgoing connection empties the buffer, held frames included; the count goes on.
    rig.options.dontAnswer = true;
    rig.Feed(std::string(kReadTwo) + " 00 09");
    rig.engine.ClearStreamBuffer();
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 2);
    rig.options.dontAnswer = false;
    rig.Feed(kReadTwo);
    EXPECT_EQ(rig.rec.answers.size(), 2u);
    EXPECT_EQ(rig.LastWire().substr(0, 5), "00 01");
}

TEST(Framing, LengthOneWritesTheEmptyPacketLineAndLengthZeroIsDroppedSilently) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 01 11 00 02 12 AB 00 01 11 00 09 00 00 00 00 " + std::string(kReadTwo));
    EXPECT_EQ(rig.rec.lines, (Lines{
                                 "REQ 0001 Empty packet, ProtocolIdentifier 0000",
                                 "REQ 0002 Empty packet, ProtocolIdentifier 12AB",
                                 "REQ 0001 Read Holding Registers 0, count 2",
                                 "DISPATCH 3",
                                 "ANS 0001 0000 Read Holding Registers 0, data 04 00 00 00 00 ",
                             }));
    EXPECT_EQ(rig.rec.answers.size(), 1u);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

// A frame cut short inside its own length must not swallow the next one.
TEST(Framing, FrameAfterAShortFrameIsServed) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 03 01 03 00 00 02 00 00 00 06 01 06 00 03 00 2A");
    ASSERT_EQ(rig.rec.answers.size(), 2u);
    EXPECT_EQ(rig.rec.answers[0].functionByte, 131);
    EXPECT_EQ(rig.Holding()[3], 42);
}

TEST(Framing, ManyFramesInOneArrivalAreAllAnsweredInOrderAndCountOnce) {
    EngineRig rig;
    rig.options.showReads = false;
    Packet flood;
    for (int i = 0; i < 10000; ++i) flood += PutWord(i) + Bytes("00 00 00 06 01 06 00 00") + PutWord(i);
    // 120,000 answer bytes: more than one slice, so the rest follows on later passes.
    EXPECT_EQ(rig.engine.ProcessPacket(flood), ArrivalOutcome::MoreToRelease);
    EXPECT_EQ(rig.Drain(), 1);
    ASSERT_EQ(rig.rec.answers.size(), 10000u);
    EXPECT_EQ(rig.rec.answers[0].wire, "00 00 00 00 00 06 01 06 00 00 00 00");
    EXPECT_EQ(rig.LastWire(), "27 0F 00 00 00 06 01 06 00 00 27 0F");
    EXPECT_EQ(rig.engine.PacketsReceived(), 1);
    EXPECT_EQ(rig.rec.refreshes, 2);
    EXPECT_EQ(rig.Holding()[0], 9999);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(ReceiveBufferBound, StreamPastTheBoundIsClosedAndEmptied) {
    EngineRig rig;
    rig.options.dontAnswer = true;
    const Packet chunk = Bytes("00 2A 00 00 00 06 01 03 00 00 00 01") + Packet(1024 * 1024 - 12, '\0');
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(rig.engine.ProcessPacket(chunk), ArrivalOutcome::Handled);
    }
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), kReceiveBufferLimit);  // exactly at the bound is kept
    EXPECT_TRUE(rig.rec.lines.empty());
    EXPECT_EQ(rig.engine.ProcessPacket(Bytes("00")), ArrivalOutcome::CloseConnection);
    EXPECT_EQ(rig.rec.lines, Lines{"REQ 002A Receive buffer over 64 MiB, connection closed"});
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 65);
    EXPECT_EQ(rig.rec.refreshes, 65);

    // Fewer than two bytes held: transaction shown as zero.
    EngineRig fresh;
    EXPECT_EQ(fresh.engine.ProcessPacket(Packet(kReceiveBufferLimit + 1, '\x07')),
              ArrivalOutcome::CloseConnection);
    EXPECT_EQ(fresh.rec.lines, Lines{"REQ 0000 Receive buffer over 64 MiB, connection closed"});
}

// Held frames that "Don't answer" no longer holds are answered, not counted:
// the connection stays.
TEST(ReceiveBufferBound, FramesHeldNearTheBoundAreAnsweredOnceClearedNotClosed) {
    EngineRig rig;
    rig.options.dontAnswer = true;
    Packet held;
    for (int i = 0; i < 1023; ++i) held += CoilWrite(i, 65535);  // 60,421 bytes short of the bound
    rig.engine.ProcessPacket(held);
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.engine.ProcessPacket(CoilWrite(1023, 65535)), ArrivalOutcome::Handled);
    ASSERT_EQ(rig.rec.answers.size(), 1024u);
    EXPECT_EQ(rig.rec.answers[1000].wire, "03 E8 00 00 00 06 01 0F 00 00 00 08");
    EXPECT_EQ(rig.LastWire(), "03 FF 00 00 00 06 01 0F 00 00 00 08");
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(ReceiveBufferBound, DatagramPastTheBoundIsDroppedAndTheBufferKept) {
    EngineRig rig;
    const SenderKey from{"10.0.0.1", 502};
    rig.options.dontAnswer = true;
    rig.Arrive(from, Packet(kReceiveBufferLimit - 1, '\x01'));
    rig.options.showRaw = true;
    EXPECT_EQ(rig.Arrive(from, Bytes("02 03")), ArrivalOutcome::DatagramDropped);
    EXPECT_EQ(rig.rec.lines, (Lines{
                                 "RAW <- 02 03",  // the arrival's dump comes first
                                 "REQ 0101 Receive buffer over 64 MiB, datagram dropped",
                             }));
    EXPECT_EQ(rig.engine.ReceiveBuffer(from).size(), kReceiveBufferLimit - 1);
    EXPECT_EQ(rig.engine.PacketsReceived(), 2);
    // A datagram that still fits is taken as before.
    EXPECT_EQ(rig.Arrive(from, Bytes("02")), ArrivalOutcome::Handled);
}

}  // namespace
}  // namespace tarvik::testing
