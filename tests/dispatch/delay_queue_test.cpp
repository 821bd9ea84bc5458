// Answers held for the operator's delay and sent by the 100 ms tick.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "dispatch_fakes.h"

namespace tarvik::testing {
namespace {

TEST(DelayQueue, DelayTextSetsTheCountdownAndTheSendingTick) {
    const struct {
        const char* text;
        int32_t delay;
        int tick;
    } cases[] = {
        {"200", 200, 2}, {"250", 250, 3}, {"0", 0, 1}, {"-50", -50, 1}, {"abc", 0, 1}, {"1e3", 1000, 10},
        // Beyond the 32-bit range: clamped, and the countdown neither wraps nor overflows.
        {"99999999999", std::numeric_limits<int32_t>::max(), 21474837},
        {"-99999999999", std::numeric_limits<int32_t>::min(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DispatchRig rig;
        rig.options.delay = true;
        rig.options.delayText = c.text;
        rig.Answer(1);
        ASSERT_EQ(rig.dispatcher.AnswerQueue().size(), 1u);
        EXPECT_EQ(rig.dispatcher.AnswerQueue().front().Delay, c.delay);
        int ticks = 0;
        while (rig.ports.sentIds.empty() && ticks <= c.tick) {
            rig.dispatcher.Timer_Send_Timer();
            ++ticks;
        }
        EXPECT_EQ(ticks, c.tick);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

TEST(DelayQueue, DueEntriesLeaveInQueueOrderFromWhereverTheyStand) {
    DispatchRig rig;
    rig.options.delay = true;
    for (const int id : {1, 2, 3, 4}) {
        rig.options.delayText = id % 2 ? "300" : "100";
        rig.Answer(id);
    }
    rig.Ticks(1);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{2, 4}));
    EXPECT_EQ(rig.QueuedIds(), (std::vector<int>{1, 3}));
    EXPECT_EQ(rig.log.back(), "refresh");  // one refresh for both
    EXPECT_EQ(rig.log.size(), 3u);
    rig.Ticks(2);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{2, 4, 1, 3}));
}

TEST(DelayQueue, ClearingDelayAnswerSendsNewAnswersAtOnceWhileQueuedOnesWait) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.Answer(1);
    rig.Answer(2);
    rig.options.delay = false;
    rig.Answer(3);
    EXPECT_EQ(rig.ports.sentIds, std::vector<int>{3});
    EXPECT_EQ(rig.QueuedIds(), (std::vector<int>{1, 2}));
    rig.Ticks(2);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{3, 1, 2}));
}

TEST(DelayQueue, EntriesDueWithoutConnectionAreDroppedAfterTheirDump) {
    DispatchRig rig;
    rig.options.delay = true;
    for (const int id : {1, 2}) {
        rig.options.delayText = std::to_string(100 * id);
        rig.Answer(id, true);
    }
    rig.ports.state = 0;  // the master went away
    rig.Ticks(1);
    EXPECT_EQ(rig.log, Log{"raw -> " + DispatchRig::Frame(1)});
    EXPECT_EQ(rig.QueuedIds(), std::vector<int>{2});
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);

    rig.ports.state = kStateConnected;  // a new master: the last one goes out to it
    rig.Ticks(1);
    EXPECT_EQ(rig.log, (Log{"raw -> " + DispatchRig::Frame(1), "raw -> " + DispatchRig::Frame(2),
                            "data " + DispatchRig::Frame(2), "refresh"}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

TEST(DelayQueue, UdpModeSendsDelayedAnswersAsDatagramsAndRefusalsAreNotRetried) {
    DispatchRig rig;
    rig.ports.udp = true;
    rig.ports.state = 0;
    rig.options.delay = true;
    rig.options.delayText = "0";
    rig.Answer(1);
    rig.Ticks(1);
    EXPECT_EQ(rig.log, (Log{"udp " + DispatchRig::Frame(1), "refresh"}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);

    rig.ports.accept = false;
    rig.Answer(2);
    rig.Ticks(2);
    EXPECT_EQ(rig.log.back(), "udp " + DispatchRig::Frame(2));  // no refresh: nothing changed
    EXPECT_EQ(rig.ports.sentIds.size(), 2u);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 0u);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

TEST(DelayQueue, AnswerThatWouldPassTheByteBoundIsDroppedWithATraceLine) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.options.delayText = "0";
    const std::size_t bigFrame = 65541;  // the longest echo, header included
    const std::size_t bigCount = kAnswerQueueByteLimit / bigFrame;
    for (std::size_t i = 0; i < bigCount; ++i) {
        rig.dispatcher.DispatchAnswer(MbapHeader{1, 0, 0, 1}, 16, Packet(bigFrame - 8, '\0'), false);
    }
    // Fill the last bytes exactly: reaching the bound is allowed, passing it is not.
    const std::size_t rest = kAnswerQueueByteLimit - bigCount * bigFrame;
    rig.dispatcher.DispatchAnswer(MbapHeader{2, 0, 0, 1}, 16, Packet(rest - 8, '\0'), false);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), kAnswerQueueByteLimit);
    EXPECT_TRUE(rig.log.empty());

    rig.dispatcher.DispatchAnswer(MbapHeader{0x0ABC, 0, 0, 1}, 3, Packet(), true);
    EXPECT_EQ(rig.log, Log{"request 2748 Answer queue full, answer dropped"});
    EXPECT_EQ(rig.dispatcher.AnswerQueue().size(), bigCount + 1);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), kAnswerQueueByteLimit);

    rig.Ticks(1);  // everything due goes, and the room with it
    EXPECT_EQ(rig.ports.sentIds.size(), bigCount + 1);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 0u);
    rig.Answer(3);
    EXPECT_EQ(rig.QueuedIds(), std::vector<int>{3});
}

}  // namespace
}  // namespace tarvik::testing
