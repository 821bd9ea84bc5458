// Answers held for the operator's delay and sent by the 100 ms tick.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

#include "dispatch_fakes.h"

namespace tarvik {
namespace {

using testing::DispatchRig;
using testing::Log;

std::vector<int> QueuedIds(const AnswerDispatcher& dispatcher) {
    std::vector<int> ids;
    for (const cQueuedAnswer& entry : dispatcher.AnswerQueue()) {
        ids.push_back(GetWord(entry.QueuedPacket, 0));
    }
    return ids;
}

TEST(DelayQueue, QueuedAnswerIsNeitherSentNorDumpedBeforeItsTick) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.Answer(1, true);
    EXPECT_TRUE(rig.log.empty());
    ASSERT_EQ(rig.dispatcher.AnswerQueue().size(), 1u);
    const cQueuedAnswer& entry = rig.dispatcher.AnswerQueue().front();
    EXPECT_EQ(testing::HexOf(entry.QueuedPacket), DispatchRig::Frame(1));
    EXPECT_EQ(entry.Delay, 200);
    EXPECT_TRUE(entry.ViewDebugData);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 11u);

    rig.Ticks(1);
    EXPECT_TRUE(rig.log.empty());
    EXPECT_EQ(rig.dispatcher.AnswerQueue().front().Delay, 100);

    rig.Ticks(1);
    EXPECT_EQ(rig.log, (Log{"raw -> " + DispatchRig::Frame(1), "data " + DispatchRig::Frame(1),
                            "refresh"}));
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 0u);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

struct DelayCase {
    const char* text;
    int32_t delay;
    int tick;  // the tick that sends the answer
};

std::ostream& operator<<(std::ostream& out, const DelayCase& c) {
    return out << '"' << c.text << '"';
}

class DelayText : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DelayText, SetsTheCountdownAndTheSendingTick) {
    const DelayCase& c = GetParam();
    DispatchRig rig;
    rig.options.delay = true;
    rig.options.delayText = c.text;
    rig.Answer(1);
    ASSERT_EQ(rig.dispatcher.AnswerQueue().size(), 1u);
    EXPECT_EQ(rig.dispatcher.AnswerQueue().front().Delay, c.delay);

    int ticks = 0;
    while (rig.sockets.sentIds.empty() && ticks <= c.tick) {
        rig.dispatcher.Timer_Send_Timer();
        ++ticks;
    }
    EXPECT_EQ(ticks, c.tick);
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
}

INSTANTIATE_TEST_SUITE_P(
    OperatorTexts, DelayText,
    ::testing::Values(DelayCase{"200", 200, 2}, DelayCase{"250", 250, 3}, DelayCase{"0", 0, 1},
                      DelayCase{"-50", -50, 1}, DelayCase{"abc", 0, 1}, DelayCase{"", 0, 1},
                      DelayCase{"1e3", 1000, 10}, DelayCase{"&H64", 100, 1},
                      DelayCase{"2 0 0", 200, 2}, DelayCase{"150ms", 150, 2},
                      DelayCase{"12.5", 12, 1}, DelayCase{"13.5", 14, 1},
                      // Beyond the 32-bit range: clamped, and the countdown neither
                      // wraps nor overflows on the way.
                      DelayCase{"99999999999", std::numeric_limits<int32_t>::max(), 21474837},
                      DelayCase{"-99999999999", std::numeric_limits<int32_t>::min(), 1}));

TEST(DelayQueue, DueEntriesLeaveInQueueOrderFromWhereverTheyStand) {
    DispatchRig rig;
    rig.options.delay = true;
    for (const int id : {1, 2, 3, 4}) {
        rig.options.delayText = id % 2 ? "300" : "100";
        rig.Answer(id);
    }
    rig.Ticks(1);
    EXPECT_EQ(rig.sockets.sentIds, (std::vector<int>{2, 4}));
    EXPECT_EQ(QueuedIds(rig.dispatcher), (std::vector<int>{1, 3}));
    EXPECT_EQ(rig.dispatcher.AnswerQueue().back().Delay, 200);
    rig.Ticks(2);
    EXPECT_EQ(rig.sockets.sentIds, (std::vector<int>{2, 4, 1, 3}));
}

TEST(DelayQueue, AnswersOfOnePacketLeaveInOneTickAndRefreshOnce) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.Answer(1);
    rig.Answer(2);
    rig.Ticks(2);
    EXPECT_EQ(rig.log, (Log{"data " + DispatchRig::Frame(1), "data " + DispatchRig::Frame(2),
                            "refresh"}));
}

TEST(DelayQueue, ShortenedDelayOvertakesAnEarlierAnswer) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.options.delayText = "1000";
    rig.Answer(1);
    rig.options.delayText = "100";
    rig.Answer(2);
    rig.Ticks(1);
    EXPECT_EQ(rig.sockets.sentIds, std::vector<int>{2});
    rig.Ticks(8);
    EXPECT_EQ(rig.sockets.sentIds, std::vector<int>{2});
    rig.Ticks(1);
    EXPECT_EQ(rig.sockets.sentIds, (std::vector<int>{2, 1}));
}

TEST(DelayQueue, ClearingDelayAnswerSendsNewAnswersAtOnceWhileQueuedOnesWait) {
    DispatchRig rig;
    rig.options.delay = true;
    rig.Answer(1);
    rig.Answer(2);
    rig.Answer(3);
    rig.options.delay = false;
    rig.Answer(4);
    EXPECT_EQ(rig.sockets.sentIds, std::vector<int>{4});
    EXPECT_EQ(QueuedIds(rig.dispatcher), (std::vector<int>{1, 2, 3}));
    rig.Ticks(2);
    EXPECT_EQ(rig.sockets.sentIds, (std::vector<int>{4, 1, 2, 3}));
}

TEST(DelayQueue, TickWithNothingDueWritesNothing) {
    DispatchRig rig;
    rig.Ticks(1);  // empty queue
    rig.options.delay = true;
    rig.Answer(1, true);
    rig.Ticks(1);
    EXPECT_TRUE(rig.log.empty());
}

TEST(DelayQueue, EntriesDueWithoutConnectionAreDroppedAfterTheirDump) {
    DispatchRig rig;
    rig.options.delay = true;
    for (const int id : {1, 2, 3}) {
        rig.options.delayText = std::to_string(100 * id);
        rig.Answer(id, true);
    }
    rig.sockets.state = 0;  // the master went away
    rig.Ticks(1);
    EXPECT_EQ(rig.log, Log{"raw -> " + DispatchRig::Frame(1)});
    EXPECT_EQ(QueuedIds(rig.dispatcher), (std::vector<int>{2, 3}));
    rig.Ticks(1);
    EXPECT_EQ(rig.log.back(), "raw -> " + DispatchRig::Frame(2));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);

    rig.sockets.state = kStateConnected;  // a new master: the last one goes out to it
    rig.Ticks(1);
    EXPECT_EQ(rig.log, (Log{"raw -> " + DispatchRig::Frame(1), "raw -> " + DispatchRig::Frame(2),
                            "raw -> " + DispatchRig::Frame(3), "data " + DispatchRig::Frame(3),
                            "refresh"}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
}

TEST(DelayQueue, UdpModeSendsDelayedAnswersAsDatagrams) {
    DispatchRig rig;
    rig.sockets.udp = true;
    rig.sockets.state = 0;
    rig.options.delay = true;
    rig.options.delayText = "0";
    rig.Answer(1);
    rig.Ticks(1);
    EXPECT_EQ(rig.log, (Log{"udp " + DispatchRig::Frame(1), "refresh"}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

TEST(DelayQueue, RefusedSendIsNotCountedAndLeavesNothingQueued) {
    DispatchRig rig;
    rig.sockets.accept = false;
    rig.options.delay = true;
    rig.options.delayText = "0";
    rig.Answer(1);
    rig.Ticks(1);
    EXPECT_EQ(rig.log, Log{"data " + DispatchRig::Frame(1)});  // no refresh: nothing changed
    EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 0u);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
    rig.Ticks(1);
    EXPECT_EQ(rig.sockets.sentIds.size(), 1u);  // not retried
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
    EXPECT_EQ(rig.sockets.sentIds.size(), bigCount + 1);
    EXPECT_EQ(rig.dispatcher.QueuedBytes(), 0u);
    rig.Answer(3);
    EXPECT_EQ(QueuedIds(rig.dispatcher), std::vector<int>{3});
}

}  // namespace
}  // namespace tarvik
