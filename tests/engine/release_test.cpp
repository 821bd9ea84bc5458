// Held frames released in slices: order, completeness and slice size, for the
// stream and for UDP senders, with arrivals and "Don't answer" in between.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

constexpr std::size_t kReadAnswerBytes = 8 + 255;  // header, function byte, 127 registers
constexpr std::size_t kLargestSlice = kReleaseSliceBytes + kReadAnswerBytes;

// Reads of 127 holding registers with ids from `first` on (wrapping at 65536).
Packet Reads(int first, int count) {
    Packet out;
    for (int i = 0; i < count; ++i) out += PutWord((first + i) & 0xFFFF) + Bytes("00 00 00 06 01 03 00 00 00 7F");
    return out;
}

Lines Ids(int first, int count) {
    Lines out;
    for (int i = 0; i < count; ++i) out.push_back(Hex4((first + i) & 0xFFFF));
    return out;
}

// The ids answered to one destination, in order.
Lines IdsTo(const Recorder& rec, const std::string& to) {
    Lines out;
    for (const auto& answer : rec.answers) {
        if (answer.sender == to) out.push_back(answer.wire);
    }
    return out;
}

// 2 MiB of held reads answer about 46 MB: keep ids only.
struct ReleaseRig : EngineRig {
    ReleaseRig() {
        rec.idsOnly = true;
        options.showReads = false;
    }
};

TEST(Release, TwoMiBHeldOnTheStreamComeBackInSlicesInOrder) {
    constexpr int kHeld = 2 * 1024 * 1024 / 12;
    const SenderKey stream;
    ReleaseRig rig;
    rig.options.dontAnswer = true;
    const Packet held = Reads(0, kHeld);
    rig.Arrive(stream, held.substr(0, 1 << 20));  // cut inside a frame
    rig.Arrive(stream, held.substr(1 << 20));
    EXPECT_EQ(rig.engine.ReceiveBuffer().size(), held.size());

    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(stream, Reads(kHeld, 1)), ArrivalOutcome::MoreToRelease);
    int continuations = rig.Drain(99);
    EXPECT_EQ(rig.Arrive(stream, Reads(kHeld + 1, 1)), ArrivalOutcome::MoreToRelease);  // goes behind
    continuations += rig.Drain(100);

    // "Don't answer" is read again for every frame: checked, the release stops.
    rig.options.dontAnswer = true;
    const std::size_t answered = rig.rec.answers.size();
    continuations += rig.Drain(1);
    EXPECT_EQ(rig.rec.answers.size(), answered);
    EXPECT_FALSE(rig.engine.ReleasePending());
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(stream, Reads(kHeld + 2, 1)), ArrivalOutcome::MoreToRelease);
    continuations += rig.Drain();

    EXPECT_EQ(IdsTo(rig.rec, ""), Ids(0, kHeld + 3));
    EXPECT_LE(rig.rec.largestPass, kLargestSlice);
    EXPECT_GE(rig.rec.largestPass, kReleaseSliceBytes);
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_EQ(rig.engine.PacketsReceived(), 5);  // continuations are not arrivals
    EXPECT_EQ(rig.rec.refreshes, 5 + continuations);
    EXPECT_TRUE(rig.rec.lines.empty());  // no "<-" dump with "Show raw data" clear, no read lines

    // A new connection ends a release under way.
    EXPECT_EQ(rig.Arrive(stream, Reads(0, 1000)), ArrivalOutcome::MoreToRelease);
    rig.engine.ResetForNewConnection();
    EXPECT_FALSE(rig.engine.ReleasePending());
    EXPECT_EQ(rig.engine.ContinueRelease(), ArrivalOutcome::Handled);
    EXPECT_EQ(rig.rec.answers.size(), kHeld + 3 + kReleaseSliceBytes / kReadAnswerBytes + 1);
}

TEST(Release, UdpSendersAreReleasedOneAtATimeInTheOrderTheyBegan) {
    constexpr int kHeld = 1024 * 1024 / 12;
    const SenderKey a{"10.0.0.1", 502}, b{"10.0.0.2", 502};
    ReleaseRig rig;
    rig.options.dontAnswer = true;
    for (const auto& [from, first] : {std::pair{a, 0}, std::pair{b, 0x8000}}) {
        for (int i = 0; i < kHeld; i += 5000) rig.Arrive(from, Reads(first + i, std::min(5000, kHeld - i)));
    }
    rig.options.dontAnswer = false;
    EXPECT_EQ(rig.Arrive(a, Reads(kHeld, 1)), ArrivalOutcome::MoreToRelease);
    EXPECT_EQ(rig.Arrive(b, Reads(0x8000 + kHeld, 1)), ArrivalOutcome::MoreToRelease);
    rig.Drain();

    Lines runs;  // destinations in answer order, repeats folded
    for (const auto& answer : rig.rec.answers) {
        if (runs.empty() || runs.back() != answer.sender) runs.push_back(answer.sender);
    }
    EXPECT_EQ(runs, (Lines{"10.0.0.1:502", "10.0.0.2:502", "10.0.0.1:502", "10.0.0.2:502"}));
    EXPECT_EQ(IdsTo(rig.rec, "10.0.0.1:502"), Ids(0, kHeld + 1));
    EXPECT_EQ(IdsTo(rig.rec, "10.0.0.2:502"), Ids(0x8000, kHeld + 1));
    EXPECT_LE(rig.rec.largestPass, kLargestSlice);
    EXPECT_EQ(rig.engine.RememberedSenders(), 0u);
}

}  // namespace
}  // namespace tarvik::testing
