// Answers sent at once: socket choice, raw dump and the sent count.
#include <gtest/gtest.h>

#include "dispatch_fakes.h"

namespace tarvik::testing {
namespace {

TEST(SendAtOnce, ConnectedDataSocketGetsTheFrameAfterItsOptionalDump) {
    DispatchRig rig;
    rig.Answer(1);
    rig.Answer(2, true);
    EXPECT_EQ(rig.log, (Log{"data " + DispatchRig::Frame(1), "raw -> " + DispatchRig::Frame(2),
                            "data " + DispatchRig::Frame(2)}));
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);
}

TEST(SendAtOnce, DataSocketNotConnectedDropsTheFrameAfterItsDumpButUdpSendsAnyway) {
    for (const int state : {0, 1, 2, 3, 4, 5, 6, 8, 9}) {
        SCOPED_TRACE(state);
        DispatchRig rig;
        rig.ports.state = state;
        rig.Answer(3, true);
        EXPECT_EQ(rig.log, Log{"raw -> " + DispatchRig::Frame(3)});
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());

        rig.ports.udp = true;
        rig.Answer(4);
        EXPECT_EQ(rig.log.back(), "udp " + DispatchRig::Frame(4));
        EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
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
