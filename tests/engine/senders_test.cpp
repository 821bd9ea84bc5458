// UDP senders each with their own receive buffer: cut frames that wait only
// for their own sender, the limit on remembered senders, and a hold near the
// bound released to the right senders.
#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

const SenderKey kA{"10.0.0.1", 502};
const SenderKey kB{"10.0.0.2", 1502};
const SenderKey kC{"10.0.0.3", 502};

Packet Read(int tid) { return PutWord(tid) + Bytes("00 00 00 06 01 03 00 00 00 01"); }
std::string ReadAnswer(const SenderKey& to, int tid) {
    return SenderText(to) + " " + HexOf(PutWord(tid)) + " 00 00 00 05 01 03 02 00 00";
}

std::string CoilAnswer(const SenderKey& to, int tid) {
    return SenderText(to) + " " + HexOf(PutWord(tid)) + " 00 00 00 06 01 0F 00 00 00 08";
}

Lines AnswersSince(const Recorder& rec, std::size_t from) {
    Lines out;
    for (std::size_t i = from; i < rec.answers.size(); ++i) {
        out.push_back(rec.answers[i].sender + " " + rec.answers[i].wire);
    }
    return out;
}

TEST(Senders, ACutFrameWaitsForItsOwnSenderOnly) {
    const Packet cut = CoilWrite(0x0A, 100);  // Length 100, sent in two parts
    struct Step {
        const char* what;
        SenderKey from;
        Packet datagram;
        Lines answers;
        std::size_t remembered;
    };
    const Step steps[] = {
        {"A leaves a cut frame", kA, cut.substr(0, 13), {}, 1},
        {"B is answered at once, with its own id", kB, Read(1), {ReadAnswer(kB, 1)}, 1},
        {"several frames in one datagram", kB, Read(2) + Read(3), {ReadAnswer(kB, 2), ReadAnswer(kB, 3)}, 1},
        {"A's next datagram completes its frame", kA, cut.substr(13) + Read(4),
         {CoilAnswer(kA, 0x0A), ReadAnswer(kA, 4)}, 0},
        {"a split read from B", kB, Read(5).substr(0, 5), {}, 1},
        {"and its rest", kB, Read(5).substr(5), {ReadAnswer(kB, 5)}, 0},
    };
    EngineRig rig;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::size_t before = rig.rec.answers.size();
        EXPECT_EQ(rig.Arrive(step.from, step.datagram), ArrivalOutcome::Handled);
        EXPECT_EQ(AnswersSince(rig.rec, before), step.answers);
        EXPECT_EQ(rig.engine.RememberedSenders(), step.remembered);
        EXPECT_TRUE(rig.engine.CurrentSender().host.empty());  // only while answering
    }
    EXPECT_EQ(rig.engine.PacketsReceived(), 6);
}

TEST(Senders, The257thSenderWithBytesLeftForgetsTheLeastRecent) {
    EngineRig rig;
    auto sender = [](int i) { return SenderKey{"10.0.1.1", 1000 + i}; };
    for (int i = 0; i < 256; ++i) rig.Arrive(sender(i), Bytes("00 07 00"));
    rig.Arrive(sender(0), Bytes("00"));  // heard again: sender 1 is now the least recent
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);

    rig.Arrive(sender(300), Read(9));  // answered whole: takes no place
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(1)).size(), 3u);

    rig.Arrive(sender(256), Bytes("00 08"));
    EXPECT_EQ(rig.engine.RememberedSenders(), 256u);
    EXPECT_TRUE(rig.engine.ReceiveBuffer(sender(1)).empty());
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(0)).size(), 4u);
    EXPECT_EQ(rig.engine.ReceiveBuffer(sender(256)).size(), 2u);

    // Its bytes went with it: its next frame is read from the start.
    const std::size_t before = rig.rec.answers.size();
    rig.Arrive(sender(1), Read(7));
    EXPECT_EQ(AnswersSince(rig.rec, before), Lines{ReadAnswer(sender(1), 7)});
}

// A and B hold frames up to the bound; after "Don't answer" is cleared C is
// answered at once, and every held frame goes to its own sender in order.
TEST(Senders, HoldNearTheBoundIsReleasedToEachSenderInOrder) {
    constexpr std::size_t kBig = 65535;  // 65,541-byte frames
    EngineRig rig;
    rig.options.dontAnswer = true;
    auto hold = [&](const SenderKey& from, int firstTid, int frames) {
        for (int i = 0; i < frames; i += 16) {
            Packet datagram;
            for (int j = i; j < std::min(i + 16, frames); ++j) datagram += CoilWrite(firstTid + j, kBig);
            ASSERT_EQ(rig.Arrive(from, datagram), ArrivalOutcome::Handled);
        }
    };
    hold(kA, 0, 512);
    hold(kB, 0x1000, 511);  // 1023 frames: 60,421 bytes short of the bound
    EXPECT_EQ(rig.Arrive(kC, CoilWrite(0x7777, kBig)), ArrivalOutcome::DatagramDropped);
    EXPECT_EQ(rig.rec.lines, Lines{"REQ 0000 Receive buffer over 64 MiB, datagram dropped"});
    EXPECT_TRUE(rig.rec.answers.empty());

    rig.options.dontAnswer = false;
    // C is answered although A and B have not spoken yet: A, heard from least
    // recently, has its frames released to make room.
    EXPECT_EQ(rig.Arrive(kC, CoilWrite(0x7777, kBig)), ArrivalOutcome::MoreToRelease);
    EXPECT_EQ(AnswersSince(rig.rec, 0), Lines{CoilAnswer(kC, 0x7777)});
    EXPECT_EQ(rig.Drain(), 1);
    Lines expected;
    for (int i = 0; i < 512; ++i) expected.push_back(CoilAnswer(kA, i));
    EXPECT_EQ(AnswersSince(rig.rec, 1), expected);

    // B's first datagram after the clear: its held frames, then its request.
    EXPECT_EQ(rig.Arrive(kB, Read(0x2000)), ArrivalOutcome::Handled);
    expected.clear();
    for (int i = 0; i < 511; ++i) expected.push_back(CoilAnswer(kB, 0x1000 + i));
    expected.push_back(ReadAnswer(kB, 0x2000));
    EXPECT_EQ(AnswersSince(rig.rec, 513), expected);
    EXPECT_EQ(rig.engine.RememberedSenders(), 0u);
    EXPECT_EQ(rig.engine.PacketsReceived(), 67);
}

}  // namespace
}  // namespace tarvik::testing
