#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

const char* kReadTwo = "00 01 00 00 00 06 01 03 00 00 00 02";

TEST(Framing, TwoFramesInOnePacketAreAnsweredInOrderAndCountOnce) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 03 00 00 00 01 00 02 00 00 00 06 01 04 00 00 00 01");
    ASSERT_EQ(rig.dispatch.answers.size(), 2u);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 00 00 05 01 03 02 00 00");
    EXPECT_EQ(rig.dispatch.answers[1].WireHex(), "00 02 00 00 00 05 01 04 02 00 00");
    EXPECT_EQ(rig.engine.PacketsReceived(), 1);
    EXPECT_EQ(rig.status.refreshes, 1);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(Framing, SplitFrameIsAnsweredDuringTheSecondArrival) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 03 00");
    EXPECT_TRUE(rig.dispatch.answers.empty());
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), 9u);
    rig.Feed("00 00 02");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.engine.PacketsReceived(), 2);
    EXPECT_EQ(rig.status.refreshes, 2);
}

TEST(Framing, FewerThanSevenBytesOnlyDumpCountAndRefresh) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06");
    EXPECT_EQ(rig.trace.lines, std::vector<std::string>{"RAW <- 00 01 00 00 00 06"});
    EXPECT_TRUE(rig.dispatch.answers.empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 1);
    EXPECT_EQ(rig.status.refreshes, 1);
}

TEST(Framing, ShorterLengthWaitsForTheRestOfTheFrame) {
    EngineRig rig;
    // Length 10, of which 8 bytes after the length field have arrived.
    rig.Feed("00 07 00 00 00 0A 01 10 00 00 00 01 02 00");
    EXPECT_TRUE(rig.dispatch.answers.empty());
    rig.Feed("05 FF");  // completes the frame; the trailing byte is part of the echo
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.Holding()[0], 5);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 07 00 00 00 0A 01 10 00 00 00 01 02 00 05 FF");
}

TEST(Framing, LengthOneWritesTheEmptyPacketLineAndIsDropped) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 01 11");
    rig.Feed("00 02 12 AB 00 01 11");
    EXPECT_EQ(rig.trace.lines, (std::vector<std::string>{
                                   "RAW <- 00 01 00 00 00 01 11",
                                   "REQ 0001 Empty packet, ProtocolIdentifier 0000",
                                   "RAW <- 00 02 12 AB 00 01 11",
                                   "REQ 0002 Empty packet, ProtocolIdentifier 12AB",
                               }));
    EXPECT_TRUE(rig.dispatch.answers.empty());
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(Framing, LengthZeroIsDroppedSilentlyAndTheNextFrameServed) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed(std::string("00 09 00 00 00 00 ") + kReadTwo);
    EXPECT_EQ(rig.trace.lines.front().substr(0, 8), "REQ 0001");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.dispatch.answers[0].header.TransactionIdentifier, 1);
}

TEST(Framing, ReadCoilsAndDiscreteInputsGetNoAnswerAndNoLine) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 01 00 00 00 06 01 01 00 00 00 08 00 02 00 00 00 06 01 02 00 00 00 08");
    EXPECT_TRUE(rig.dispatch.answers.empty());
    EXPECT_TRUE(rig.trace.lines.empty());
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(Framing, UnsupportedFunctionsGet129WithCode2WhateverTheirCode) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 01 00 05 00 02 11 07");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 01 00 05 00 03 11 81 02");
    EXPECT_FALSE(rig.dispatch.answers[0].view);  // the "Show raw data" flag
    for (int code : {0, 8, 14, 17, 43, 255}) {
        rig.Feed("00 02 00 00 00 02 01 " + Hex2(code));
        EXPECT_EQ(rig.dispatch.answers.back().WireHex(), "00 02 00 00 00 03 01 81 02") << code;
    }
    for (const std::string& line : rig.trace.lines) {
        EXPECT_EQ(line, "DISPATCH 129");  // no trace line for any of them
    }
}

TEST(Framing, DontAnswerHoldsFramesBackUntilReleased) {
    EngineRig rig;
    rig.options.dontAnswer = true;
    rig.Feed("00 01 00 00 00 06 01 06 00 01 00 0A");
    rig.Feed("00 02 00 00 00 06 01 06 00 02 00 0B");
    rig.Feed("00 03 00 00 00 06 01 06 00 03 00 0C");
    EXPECT_TRUE(rig.dispatch.answers.empty());
    EXPECT_EQ(rig.Holding()[1], 0);
    EXPECT_EQ(rig.engine.PacketsReceived(), 3);
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), 36u);

    rig.options.dontAnswer = false;
    rig.Feed("00 04 00 00 00 06 01 06 00 04 00 0D");
    ASSERT_EQ(rig.dispatch.answers.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.dispatch.answers[static_cast<std::size_t>(i)].header.TransactionIdentifier, i + 1);
        EXPECT_EQ(rig.Holding()[static_cast<std::size_t>(i + 1)], 10 + i);
    }
    EXPECT_EQ(rig.engine.PacketsReceived(), 4);
}

TEST(Framing, HeldEmptyPacketIsTracedAgainAtEveryArrival) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.dontAnswer = true;
    rig.Feed("00 05 00 00 00 01 11");
    rig.Feed("00");
    EXPECT_EQ(rig.trace.lines, (std::vector<std::string>{
                                   "REQ 0005 Empty packet, ProtocolIdentifier 0000",
                                   "REQ 0005 Empty packet, ProtocolIdentifier 0000",
                               }));
}

TEST(Framing, IdentifiersAreCopiedUncheckedIntoTheAnswer) {
    EngineRig rig;
    rig.Feed("AB CD 00 05 00 06 FE 03 00 00 00 01");
    ASSERT_EQ(rig.dispatch.answers.size(), 1u);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "AB CD 00 05 00 05 FE 03 02 00 00");
}

TEST(Framing, ManyFramesInOneArrivalAreAllAnsweredInOrder) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.showReads = false;
    Packet flood;
    for (int i = 0; i < 10000; ++i) {
        flood += PutWord(i);
        flood += Bytes("00 00 00 06 01 06 00 00");
        flood += PutWord(i);
    }
    rig.engine.ProcessPacket(flood);
    ASSERT_EQ(rig.dispatch.answers.size(), 10000u);
    EXPECT_EQ(rig.dispatch.answers[9999].header.TransactionIdentifier, 9999);
    EXPECT_EQ(rig.Holding()[0], 9999);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(Framing, NewConnectionEmptiesBufferAndCounter) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01");
    rig.engine.ResetForNewConnection();
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 0);
    rig.Feed(kReadTwo);
    EXPECT_EQ(rig.dispatch.answers.size(), 1u);
}

TEST(ReceiveBufferBound, StreamPastTheBoundIsClosedAndEmptied) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.dontAnswer = true;
    const Packet chunk = Bytes("00 2A 00 00 00 06 01 03 00 00 00 01") + Packet(1024 * 1024 - 12, '\0');
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(rig.engine.ProcessPacket(chunk), ArrivalOutcome::Handled);
    }
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), kReceiveBufferLimit);  // exactly at the bound is kept
    EXPECT_TRUE(rig.trace.lines.empty());
    EXPECT_EQ(rig.engine.ProcessPacket(Bytes("00")), ArrivalOutcome::CloseConnection);
    EXPECT_EQ(rig.trace.lines, std::vector<std::string>{"REQ 002A Receive buffer over 64 MiB, connection closed"});
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 65);
    EXPECT_EQ(rig.status.refreshes, 65);
}

TEST(ReceiveBufferBound, DatagramPastTheBoundIsDroppedAndTheBufferKept) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.options.dontAnswer = true;
    rig.engine.ProcessPacket(Packet(kReceiveBufferLimit - 1, '\x01'), ArrivalKind::Datagram);
    rig.options.showRaw = true;
    EXPECT_EQ(rig.engine.ProcessPacket(Bytes("02 03"), ArrivalKind::Datagram),
              ArrivalOutcome::DatagramDropped);
    EXPECT_EQ(rig.trace.lines, (std::vector<std::string>{
                                   "RAW <- 02 03",  // the arrival's dump comes first
                                   "REQ 0101 Receive buffer over 64 MiB, datagram dropped",
                               }));
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), kReceiveBufferLimit - 1);
    EXPECT_EQ(rig.engine.PacketsReceived(), 2);
    // A datagram that still fits is taken as before.
    EXPECT_EQ(rig.engine.ProcessPacket(Bytes("02"), ArrivalKind::Datagram), ArrivalOutcome::Handled);
}

TEST(ReceiveBufferBound, FewerThanTwoBytesHeldShowsTransactionZero) {
    EngineRig rig;
    rig.options.showRaw = false;
    EXPECT_EQ(rig.engine.ProcessPacket(Packet(kReceiveBufferLimit + 1, '\x07')),
              ArrivalOutcome::CloseConnection);
    EXPECT_EQ(rig.trace.lines, std::vector<std::string>{"REQ 0000 Receive buffer over 64 MiB, connection closed"});
}

}  // namespace
}  // namespace tarvik::testing
