// Answers sent at once: socket choice, raw dump and the sent count.
#include <gtest/gtest.h>

#include "dispatch_fakes.h"

namespace tarvik {
namespace {

using testing::DispatchRig;
using testing::Log;

TEST(SendAtOnce, AnswerIsOnTheDataSocketBeforeDispatchReturns) {
    DispatchRig rig;
    rig.Answer(1);
    EXPECT_EQ(rig.log, Log{"data " + DispatchRig::Frame(1)});
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

TEST(SendAtOnce, ViewFlagDumpsTheFrameBeforeItIsSent) {
    DispatchRig rig;
    rig.Answer(2, true);
    EXPECT_EQ(rig.log, (Log{"raw -> " + DispatchRig::Frame(2), "data " + DispatchRig::Frame(2)}));
}

TEST(SendAtOnce, DataSocketNotConnectedDropsTheFrameAfterItsDump) {
    for (const int state : {0, 1, 2, 3, 4, 5, 6, 8, 9}) {
        SCOPED_TRACE(state);
        DispatchRig rig;
        rig.sockets.state = state;
        rig.Answer(3, true);
        EXPECT_EQ(rig.log, Log{"raw -> " + DispatchRig::Frame(3)});
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

TEST(SendAtOnce, UdpModeSendsADatagramWhateverTheDataSocketState) {
    for (const int state : {0, kStateConnected}) {
        SCOPED_TRACE(state);
        DispatchRig rig;
        rig.sockets.udp = true;
        rig.sockets.state = state;
        rig.Answer(4);
        EXPECT_EQ(rig.log, Log{"udp " + DispatchRig::Frame(4)});
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
    }
}

TEST(SendAtOnce, SentCountHoldsOnlyFramesASocketAccepted) {
    DispatchRig rig;
    rig.Answer(1);
    rig.Answer(2);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);

    rig.sockets.accept = false;  // a refused send is no sent packet, TCP or UDP
    rig.Answer(3);
    rig.sockets.udp = true;
    rig.Answer(4);
    EXPECT_EQ(rig.sockets.sentIds, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);

    rig.dispatcher.ResetPacketsSent();
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
    rig.sockets.accept = true;
    rig.Answer(5);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

}  // namespace
}  // namespace tarvik
