// Frames held back by "Don't answer": the bound on what is held, the release
// in slices once cleared, and the UDP senders' own buffers. Answers are told
// apart by their ids and destinations alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

constexpr std::size_t kReadAnswerBytes = 8 + 255;  // header, function byte, 127 registers
constexpr std::size_t kLargestSlice = kReleaseSliceBytes + kReadAnswerBytes;
const SenderKey kStream, kA = Sender("10.0.0.1", 502), kB = Sender("10.0.0.2", 1502),
                         kC = Sender("10.0.0.3", 502);

// Reads of 127 holding registers with ids from `first` on (wrapping at 65536).
Packet Reads(int first, int count = 1) {
    Packet out;
    for (int i = 0; i < count; ++i)
        out += PutWord((first + i) & 0xFFFF) + Bytes("00 00 00 06 01 03 00 00 00 7F");
    return out;
}

Lines Ids(int first, int count) {
    Lines out;
    for (int i = 0; i < count; ++i) out.push_back(Hex4((first + i) & 0xFFFF));
    return out;
}

// The ids answered to one destination, in order.
Lines IdsTo(const Recorder& rec, const SenderKey& to) {
    Lines out;
    for (const auto& answer : rec.answers) {
        if (answer.sender == SenderText(to)) out.push_back(answer.wire);
    }
    return out;
}

// Held megabytes answer tens of megabytes: ids only, no read lines; "Don't answer" on.
struct HeldRig : EngineRig {
    HeldRig() {
        rec.idsOnly = true;
        options.showReads = false;
        options.dontAnswer = true;
    }
};

TEST(StreamBound, StreamPastTheBoundIsClosedAndEmptied) {
    HeldRig rig;
    const Packet chunk =
        Bytes("00 2A 00 00 00 06 01 03 00 00 00 01") + Packet(1024 * 1024 - 12, '\0');
    for (int i = 0; i < 64; ++i) ASSERT_EQ(rig.Arrive(kStream, chunk), ArrivalOutcome::Handled);
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(),
              kReceiveBufferLimit);  // exactly at the bound is kept
    EXPECT_EQ(rig.Arrive(kStream, Bytes("00")), ArrivalOutcome::CloseConnection);
    EXPECT_EQ(rig.rec.lines,
              (Lines{"REQ 002A Receive buffer over 64 MiB, connection closed", "CLOSE "}));
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 65);
}

// Held frames that "Don't answer" no longer holds are answered, not counted:
// the connection stays.
TEST(StreamBound, FramesHeldNearTheBoundAreAnsweredOnceClearedNotClosed) {
    HeldRig rig;
    Packet held;
    for (int i = 0; i < 1023; ++i) held += CoilWrite(i, 65535);  // 60,421 bytes short of the bound
    rig.Arrive(kStream, held);
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(kStream, CoilWrite(1023, 65535)), ArrivalOutcome::Handled);
    EXPECT_EQ(IdsTo(rig.rec, kStream), Ids(0, 1024));
}

TEST(Release, TwoMiBHeldOnTheStreamComeBackInSlicesInOrder) {
    constexpr int kHeld = 2 * 1024 * 1024 / 12;
    HeldRig rig;
    const Packet held = Reads(0, kHeld);
    rig.Arrive(kStream, held.substr(0, 1 << 20));  // cut inside a frame
    rig.Arrive(kStream, held.substr(1 << 20));

    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(kStream, Reads(kHeld)), ArrivalOutcome::MoreToRelease);
    rig.Drain(99);
    EXPECT_EQ(rig.Arrive(kStream, Reads(kHeld + 1)), ArrivalOutcome::MoreToRelease);  // goes behind
    rig.Drain(100);

    // "Don't answer" is read again for every frame: checked, the release stops.
    rig.options.dontAnswer = true;
    const std::size_t answered = rig.rec.answers.size();
    rig.Drain(1);
    EXPECT_EQ(rig.rec.answers.size(), answered);
    EXPECT_FALSE(rig.engine.ReleasePending());
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(kStream, Reads(kHeld + 2)), ArrivalOutcome::MoreToRelease);
    rig.Drain();

    EXPECT_EQ(IdsTo(rig.rec, kStream), Ids(0, kHeld + 3));
    EXPECT_LE(rig.rec.largestPass, kLargestSlice);
    EXPECT_GE(rig.rec.largestPass, kReleaseSliceBytes);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 5);  // continuations are not arrivals

    // A new connection ends a release under way.
    EXPECT_EQ(rig.Arrive(kStream, Reads(0, 1000)), ArrivalOutcome::MoreToRelease);
    rig.engine.ResetForNewConnection();
    EXPECT_FALSE(rig.engine.ReleasePending());
    EXPECT_EQ(rig.Continue(), ArrivalOutcome::Handled);
    EXPECT_EQ(rig.rec.answers.size(), kHeld + 3 + kReleaseSliceBytes / kReadAnswerBytes + 1);
}

TEST(Release, UdpSendersAreReleasedOneAtATimeInTheOrderTheyBegan) {
    constexpr int kHeld = 1024 * 1024 / 12;
    HeldRig rig;
    for (const auto& [from, first] : {std::pair{kA, 0}, std::pair{kB, 0x8000}}) {
        for (int i = 0; i < kHeld; i += 5000)
            rig.Arrive(from, Reads(first + i, std::min(5000, kHeld - i)));
    }
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(kA, Reads(kHeld)), ArrivalOutcome::MoreToRelease);
    EXPECT_EQ(rig.Arrive(kB, Reads(0x8000 + kHeld)), ArrivalOutcome::MoreToRelease);
    rig.Drain();

    Lines runs;  // destinations in answer order, repeats folded
    for (const auto& answer : rig.rec.answers) {
        if (runs.empty() || runs.back() != answer.sender) runs.push_back(answer.sender);
    }
    EXPECT_EQ(runs, (Lines{SenderText(kA), SenderText(kB), SenderText(kA), SenderText(kB)}));
    EXPECT_EQ(IdsTo(rig.rec, kA), Ids(0, kHeld + 1));
    EXPECT_EQ(IdsTo(rig.rec, kB), Ids(0x8000, kHeld + 1));
    EXPECT_LE(rig.rec.largestPass, kLargestSlice);
    EXPECT_EQ(rig.engine.RememberedSenders(), 0u);
}

TEST(Senders, The257thSenderWithBytesLeftForgetsTheLeastRecent) {
    EngineRig rig;
    rig.rec.idsOnly = true;
    auto sender = [](int i) { return Sender("10.0.1.1", 1000 + i); };
    for (int i = 0; i < 256; ++i) rig.Arrive(sender(i), Bytes("00 07 00"));
    rig.Arrive(sender(0), Bytes("00"));  // heard again: sender 1 is now the least recent
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);

    rig.Arrive(sender(300), Reads(9));  // answered whole: takes no place
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(1)).size(), 3u);

    rig.Arrive(sender(256), Bytes("00 08"));
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);
    EXPECT_TRUE(rig.engine.ReceiveBuffer(sender(1)).empty());
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(0)).size(), 4u);
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(256)).size(), 2u);

    // Its bytes went with it: its next frame is read from the start.
    rig.Arrive(sender(1), Reads(7));
    EXPECT_EQ(IdsTo(rig.rec, sender(1)), Lines{"0007"});
}

// A and B hold frames up to the bound; after "Don't answer" is cleared C is
// answered at once, and every held frame goes to its own sender in order.
TEST(Senders, HoldNearTheBoundIsReleasedToEachSenderInOrder) {
    constexpr std::size_t kBig = 65535;  // 65,541-byte frames
    HeldRig rig;
    auto hold = [&](const SenderKey& from, int firstTid, int frames) {
        for (int i = 0; i < frames; i += 16) {
            Packet datagram;
            for (int j = i; j < std::min(i + 16, frames); ++j)
                datagram += CoilWrite(firstTid + j, kBig);
            ASSERT_EQ(rig.Arrive(from, datagram), ArrivalOutcome::Handled);
        }
    };
    hold(kA, 0, 512);
    hold(kB, 0x1000, 511);       // 1023 frames: 60,421 bytes short of the bound
    rig.options.showRaw = true;  // the arrival's dump comes before the line of its drop
    EXPECT_EQ(rig.Arrive(kC, CoilWrite(0x7777, kBig)), ArrivalOutcome::DatagramDropped);
    EXPECT_EQ(rig.rec.lines, (Lines{"RAW <- " + HexOf(CoilWrite(0x7777, kBig)),
                                    "REQ 0000 Receive buffer over 64 MiB, datagram dropped"}));
    EXPECT_TRUE(rig.rec.answers.empty());
    rig.options.showRaw = false;

    rig.options.dontAnswer = false;
    // C is answered although A and B have not spoken yet: A, heard from least
    // recently, has its frames released to make room.
    EXPECT_EQ(rig.Arrive(kC, CoilWrite(0x7777, kBig)), ArrivalOutcome::MoreToRelease);
    EXPECT_EQ(IdsTo(rig.rec, kC), Lines{"7777"});
    EXPECT_EQ(rig.Drain(), 1);
    EXPECT_EQ(IdsTo(rig.rec, kA), Ids(0, 512));
    EXPECT_EQ(rig.rec.answers.size(), 513u);

    // B's first datagram after the clear: its held frames, then its request.
    EXPECT_EQ(rig.Arrive(kB, Reads(0x2000)), ArrivalOutcome::Handled);
    Lines expected = Ids(0x1000, 511);
    expected.push_back("2000");
    EXPECT_EQ(IdsTo(rig.rec, kB), expected);
    EXPECT_EQ(rig.engine.RememberedSenders(), 0u);
    EXPECT_EQ(rig.engine.PacketsReceived(), 67);
}

}  // namespace
}  // namespace tarvik::testing
