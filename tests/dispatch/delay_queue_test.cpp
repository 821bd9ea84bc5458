// Answers held for the operator's delay and sent by the 100 ms tick, each to
// its own request's master, within a memory bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <limits>

#include "dispatch/answer_frame.h"
#include "dispatch/delay_queue.h"
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
        {"100", 100, 1}, {"101", 101, 2},
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
        rig.dispatcher.AnswerQueue().ForEach(
            [&](const QueuedAnswer& entry) { EXPECT_EQ(entry.Delay, c.delay); });
        int ticks = 0;
        while (rig.ports.sentIds.empty() && ticks <= c.tick) {
            rig.dispatcher.SendTick();
            ++ticks;
        }
        EXPECT_EQ(ticks, c.tick);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

TEST(DelayQueue, DueEntriesLeaveInQueueOrderAndShorterDelaysOvertake) {
    DispatchRig rig;
    rig.options.delay = true;
    for (const int id : {1, 2, 3, 4}) {
        rig.options.delayText = id % 2 ? "300" : "100";
        rig.Answer(id);
    }
    rig.Ticks(1);
    rig.options.delayText = "0";  // queued last, sent before 1 and 3
    rig.Answer(5);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{2, 4}));
    EXPECT_EQ(rig.QueuedIds(), (std::vector<int>{5, 1, 3}));
    EXPECT_EQ(rig.log.back(), "refresh");  // one refresh for both
    EXPECT_EQ(rig.log.size(), 3u);
    rig.Ticks(1);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{2, 4, 5}));
    rig.Ticks(1);
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{2, 4, 5, 1, 3}));
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

TEST(DelayQueue, TcpAnswerGoesOnlyToTheConnectionItsRequestCameOn) {
    const struct {
        const char* what;
        SocketState state;
        uint64_t connection;  // at the due tick
        bool firstSent;
    } cases[] = {
        {"still the same connection", SocketState::Connected, 1, true},
        {"master gone", SocketState::Closed, 1, false},
        {"replaced by another master", SocketState::Connected, 2, false},
        {"the same master back on a new connection", SocketState::Connected, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DispatchRig rig;
        rig.options.delay = true;
        rig.Answer(1, true);
        rig.Ticks(1);
        rig.ports.state = c.state;
        rig.ports.connection = c.connection;
        rig.options.delayText = "100";  // the next master's own answer falls due in the same tick
        rig.Answer(2, true);
        rig.Ticks(1);

        const bool secondSent = c.state == SocketState::Connected;
        Log expected{"raw -> " + DispatchRig::Frame(1)};
        if (c.firstSent) expected.push_back("data " + DispatchRig::Frame(1));
        expected.push_back("raw -> " + DispatchRig::Frame(2));
        if (secondSent) expected.insert(expected.end(), {"data " + DispatchRig::Frame(2), "refresh"});
        EXPECT_EQ(rig.log, expected);
        EXPECT_EQ(rig.dispatcher.PacketsSent(), int(c.firstSent) + int(secondSent));
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

TEST(DelayQueue, UdpAnswersGoToTheirOwnSendersAndRefusalsAreNotRetried) {
    DispatchRig rig;
    rig.ports.udp = true;
    rig.ports.state = SocketState::Closed;  // the TCP data socket plays no part
    rig.options.delay = true;
    rig.Answer(1);
    rig.ports.senderHost = "10.0.0.2";
    rig.ports.senderPort = 1502;
    rig.Answer(2);
    rig.ports.senderHost = "10.0.0.1";
    rig.ports.senderPort = 502;
    rig.options.delayText = "0";
    rig.Answer(3);
    rig.ports.senderHost = "10.0.0.3";  // heard last, owed nothing
    rig.Ticks(2);
    EXPECT_EQ(rig.log, (Log{"udp 10.0.0.1:502 " + DispatchRig::Frame(3), "refresh",
                            "udp 10.0.0.1:502 " + DispatchRig::Frame(1),
                            "udp 10.0.0.2:1502 " + DispatchRig::Frame(2), "refresh"}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 3);

    rig.ports.accept = false;
    rig.Answer(4);
    rig.Ticks(2);
    EXPECT_EQ(rig.log.back(), "udp 10.0.0.3:502 " + DispatchRig::Frame(4));  // no refresh: nothing changed
    EXPECT_EQ(rig.ports.sentIds.size(), 4u);
    EXPECT_EQ(rig.dispatcher.AnswerQueue().Cost(), 0u);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 3);
}

TEST(DelayQueue, AnswerThatWouldPassTheBoundIsDroppedWithATraceLine) {
    const Packet echo(65533, '\0');  // the longest answer there is
    QueuedAnswer longest;
    longest.QueuedPacket = AssembleAnswer(MbapHeader{}, kWriteMultipleRegisters, echo);
    ASSERT_GT(DelayQueue::CostOf(longest), longest.QueuedPacket.size());
    const std::size_t limit = DelayQueue::kGroupCost + 2 * DelayQueue::CostOf(longest);

    DispatchRig rig;
    AnswerDispatcher dispatcher{rig.options, rig.ports, rig.ports, rig.ports, limit};
    const auto queueLongest = [&](int id) {
        dispatcher.DispatchAnswer(MbapHeader{id, 0, 0, 1}, kWriteMultipleRegisters, echo, false);
    };
    rig.options.delay = true;
    rig.options.delayText = "0";
    queueLongest(1);
    queueLongest(2);  // reaching the bound is allowed
    EXPECT_EQ(dispatcher.AnswerQueue().Cost(), limit);
    EXPECT_TRUE(rig.log.empty());
    dispatcher.DispatchAnswer(MbapHeader{0x0ABC, 0, 0, 1}, kUnsupportedFunctionByte, ByteOf(1), true);
    EXPECT_EQ(rig.log, Log{"request 2748 Answer queue full, answer dropped"});
    EXPECT_EQ(dispatcher.AnswerQueue().size(), 2u);

    dispatcher.SendTick();  // everything due goes, and the room with it
    EXPECT_EQ(rig.ports.sentIds, (std::vector<int>{1, 2}));
    EXPECT_EQ(dispatcher.AnswerQueue().Cost(), 0u);
    queueLongest(3);
    EXPECT_EQ(dispatcher.AnswerQueue().size(), 1u);
}

#if defined(__has_feature)
#define TARVIK_HAS_FEATURE(x) __has_feature(x)
#else
#define TARVIK_HAS_FEATURE(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || TARVIK_HAS_FEATURE(address_sanitizer)
constexpr bool kPaddedAllocator = true;
#else
constexpr bool kPaddedAllocator = false;
#endif

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST(DelayQueue, FloodOfShortAnswersStaysWithinTwiceTheBoundInResidentMemory) {
    if (kPaddedAllocator) GTEST_SKIP() << "the sanitizer's allocator pads every block";
    DispatchRig rig;
    rig.options.delay = true;
    const std::size_t before = ResidentBytes();
    std::size_t queued = 0;
    // 9-byte exception answers, each far cheaper in bytes than in bookkeeping.
    const int refused = ExceptionByteOf(FunctionCode::ReadHoldingRegisters);
    const Packet illegalAddress(1, static_cast<char>(ExceptionCode::IllegalDataAddress));
    while (rig.log.empty() && queued < kAnswerQueueByteLimit / 48) {
        rig.dispatcher.DispatchAnswer(MbapHeader{1, 0, 2, 1}, refused, illegalAddress, false);
        queued = rig.dispatcher.AnswerQueue().size();
    }
    const std::size_t grown = ResidentBytes() - before;
    ASSERT_EQ(rig.log, Log{"request 1 Answer queue full, answer dropped"});
    EXPECT_LE(grown, 2 * kAnswerQueueByteLimit);
    EXPECT_GT(queued, kAnswerQueueByteLimit / 256);  // the estimate does not waste the bound either
}

}  // namespace
}  // namespace tarvik::testing
