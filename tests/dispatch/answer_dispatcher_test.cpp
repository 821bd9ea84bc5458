// Answer sending: frames assembled and sent at once to the socket their
// request came on, or held for the operator's delay and sent by the 100 ms
// tick, within a memory bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/text_helpers.h"
#include "dispatch/answer_dispatcher.h"
#include "dispatch/delay_queue.h"
#include "engine/function_codes.h"
#include "testkit/answer_routes.h"
#include "testkit/hex_bytes.h"

namespace tarvik::testing {
namespace {

constexpr int kReadHoldingRegisters = CodeOf(FunctionCode::ReadHoldingRegisters);
constexpr int kWriteMultipleRegisters = CodeOf(FunctionCode::WriteMultipleRegisters);

using Log = std::vector<std::string>;
using Ids = std::vector<int>;

// The trace and the sockets in one stand-in, with the connection state the
// sockets would have. Every call lands in one log, so tests see the order of
// dumps, sends and refreshes across all of them.
struct Fakes : TraceWriter, AnswerOutlets {
    bool delay = false;  // "Delay answer" and its text
    std::string delayText = "200";
    bool udp = false, accept = true;  // UDP mode; whether the sockets take what they are given
    bool connected = true;            // the TCP data socket
    uint64_t connection = 1;          // its serial
    SenderKey sender = Sender("10.0.0.1", 502);  // of the datagram being processed
    Log log;
    Ids sentIds;  // transaction of every frame handed to a socket, accepted or not

    void TraceRaw(std::string_view mark, std::string_view frame) override {
        log.push_back("raw " + std::string(mark) + " " + HexOf(Packet(frame)));
    }
    void TraceRequest(const MbapHeader& h, std::string_view text) override {
        log.push_back("request " + std::to_string(h.TransactionIdentifier) + " " +
                      std::string(text));
    }
    void TraceAnswer(const MbapHeader&, std::string_view text) override {
        log.push_back("answer " + std::string(text));
    }
    // As the sockets do: a TCP answer only on the connection it belongs to.
    bool Send(const AnswerRoute& route, std::string_view frame) override {
        if (route.udp) return Sent("udp " + RouteText(route), frame);
        if (!connected || route.connection != connection) return false;
        return Sent("data", frame);
    }
    void Close(const AnswerRoute&) override { log.push_back("close"); }
    bool Sent(const std::string& socket, std::string_view frame) {
        log.push_back(socket + " " + HexOf(Packet(frame)));
        sentIds.push_back(GetWord(Packet(frame), 0));
        return accept;
    }
    // The route of the request being answered now.
    AnswerRoute Route() const {
        return udp ? AnswerRoute::Datagram(sender) : AnswerRoute::Stream(connection);
    }
};

// A dispatcher on the stand-in, TCP connected, "Delay answer" clear.
struct DispatchRig {
    Fakes fakes;
    AnswerDispatcher dispatcher{fakes, fakes};
    Log& log = fakes.log;

    // One answer step as the engine makes it, carried out.
    void Step(const MbapHeader& header, int functionByte, std::string_view data, bool view,
              AnswerDispatcher& to) {
        StepList steps;
        steps.BeginAnswer(header, functionByte).append(data);
        const bool delayed = fakes.delay;
        steps.EndAnswer(fakes.Route(), delayed ? Departure::Delayed : Departure::Now,
                        delayed ? DelayMsOf(fakes.delayText) : 0, view);
        to.CarryOut(steps);
    }
    // A Read Holding Registers answer told apart by its transaction identifier.
    void Answer(int id, bool view = false) {
        Step(MbapHeader{id, 0, 6, 1}, kReadHoldingRegisters, Bytes("02 00 2A"), view, dispatcher);
    }
    static std::string Frame(int id) { return HexOf(PutWord(id)) + " 00 00 00 05 01 03 02 00 2A"; }
    // Ticks of the send timer; the status bar is refreshed after one that sent.
    void Ticks(int count) {
        while (count-- > 0) {
            if (dispatcher.SendTick()) log.push_back("refresh");
        }
    }
    // In the order the ticks will send them.
    Ids QueuedIds() const {
        Ids ids;
        dispatcher.AnswerQueue().ForEach(
            [&](const QueuedAnswer& e) { ids.push_back(GetWord(e.QueuedPacket, 0)); });
        return ids;
    }
};

// An answer frame as the engine builds it in place.
Packet Assembled(const MbapHeader& header, int functionByte, const Packet& data) {
    StepList steps;
    steps.BeginAnswer(header, functionByte).append(data);
    steps.EndAnswer(AnswerRoute{}, Departure::Now, 0, false);
    return Packet(steps.Bytes(steps[0]));
}

// The request's own Length (99) is never reused; Write Multiple Registers
// with the largest Length echoes 65533 bytes.
TEST(AnswerFrame, CarriesRequestHeaderFreshLengthFunctionAndData) {
    EXPECT_EQ(HexOf(Assembled(MbapHeader{0xFFFF, 0x1234, 99, 0xFF}, kUnsupportedFunctionByte,
                              Bytes("02"))),
              "FF FF 12 34 00 03 FF 81 02");
    const Packet longest =
        Assembled(MbapHeader{1, 0, 0, 1}, kWriteMultipleRegisters, Packet(65533, 'Z'));
    ASSERT_EQ(longest.size(), 65541u);
    EXPECT_EQ(HexOf(longest.substr(0, 9)), "00 01 00 00 FF FF 01 10 5A");
}

// Connected, the data socket gets the frame after its optional dump; else the
// frame is dropped after it. UDP answers go to the sender being processed
// whatever the data socket's state.
TEST(SendAtOnce, OnlyAConnectedDataSocketGetsTheFrameUdpGoesToTheSenderAndOnlyAcceptedOnesCount) {
    for (const bool connected : {true, false}) {
        SCOPED_TRACE(connected);
        DispatchRig rig;
        rig.fakes.connected = connected;
        rig.Answer(1);
        rig.Answer(2, true);
        rig.fakes.udp = true;
        rig.fakes.sender = Sender("10.0.0.9", 65535);
        rig.Answer(3);
        Log expected;
        if (connected) expected.push_back("data " + DispatchRig::Frame(1));
        expected.push_back("raw -> " + DispatchRig::Frame(2));
        if (connected) expected.push_back("data " + DispatchRig::Frame(2));
        expected.push_back("udp 10.0.0.9:65535 " + DispatchRig::Frame(3));
        EXPECT_EQ(rig.log, expected);
        EXPECT_EQ(rig.dispatcher.PacketsSent(), connected ? 3 : 1);
    }
    // A refused send is no sent packet, TCP or UDP; the count starts again at a reset.
    DispatchRig rig;
    rig.fakes.accept = false;
    rig.Answer(1);
    rig.fakes.udp = true;
    rig.Answer(2);
    EXPECT_EQ(rig.fakes.sentIds, (Ids{1, 2}));
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 0);
    rig.fakes.accept = true;
    rig.Answer(3);
    rig.dispatcher.ResetPacketsSent();
    rig.Answer(4);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 1);
}

// The text is read as the number it begins with (the text helpers' tests pin
// that reading); the answer goes at the tick that counts its delay to 0 or less.
TEST(DelayQueue, DelayTextSetsTheTickThatSendsTheAnswer) {
    const std::pair<const char*, int> cases[] = {
        {"200", 2},
        {"250", 3},
        {"0", 1},
        {"-50", 1},
        {"100", 1},
        {"101", 2},
        // beyond the 32-bit range: clamped, and the countdown neither wraps nor overflows
        {"99999999999", 21474837},
    };
    for (const auto& [text, tick] : cases) {
        SCOPED_TRACE(text);
        DispatchRig rig;
        rig.fakes.delay = true;
        rig.fakes.delayText = text;
        rig.Answer(1);
        ASSERT_EQ(rig.dispatcher.AnswerQueue().size(), 1u);
        int ticks = 0;
        for (; rig.fakes.sentIds.empty() && ticks <= tick; ++ticks) rig.dispatcher.SendTick();
        EXPECT_EQ(ticks, tick);
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

TEST(DelayQueue, DueEntriesLeaveInQueueOrderAndShorterDelaysOvertake) {
    DispatchRig rig;
    rig.fakes.delay = true;
    for (const int id : {1, 2, 3, 4}) {
        rig.fakes.delayText = id % 2 ? "300" : "100";
        rig.Answer(id);
    }
    rig.Ticks(1);
    rig.fakes.delayText = "0";  // queued last, sent before 1 and 3
    rig.Answer(5);
    EXPECT_EQ(rig.fakes.sentIds, (Ids{2, 4}));
    EXPECT_EQ(rig.QueuedIds(), (Ids{5, 1, 3}));
    EXPECT_EQ(rig.log,
              (Log{"data " + DispatchRig::Frame(2), "data " + DispatchRig::Frame(4), "refresh"}));
    rig.Ticks(1);
    EXPECT_EQ(rig.fakes.sentIds, (Ids{2, 4, 5}));
    rig.Ticks(1);
    EXPECT_EQ(rig.fakes.sentIds, (Ids{2, 4, 5, 1, 3}));

    // Cleared, new answers go at once while the queued ones wait their turn.
    rig.fakes.delayText = "200";
    rig.Answer(6);
    rig.fakes.delay = false;
    rig.Answer(7);
    EXPECT_EQ(rig.QueuedIds(), Ids{6});
    rig.Ticks(2);
    EXPECT_EQ(rig.fakes.sentIds, (Ids{2, 4, 5, 1, 3, 7, 6}));
}

TEST(DelayQueue, TcpAnswerGoesOnlyToTheConnectionItsRequestCameOn) {
    // The state and serial of the data connection at the due tick.
    const struct {
        const char* what;
        bool connected;
        uint64_t connection;
        bool firstSent;
    } cases[] = {
        {"still the same connection", true, 1, true},
        {"master gone", false, 1, false},
        {"replaced, even by the same master", true, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DispatchRig rig;
        rig.fakes.delay = true;
        rig.Answer(1, true);
        rig.Ticks(1);
        rig.fakes.connected = c.connected;
        rig.fakes.connection = c.connection;
        rig.fakes.delayText = "100";  // the next master's own answer falls due in the same tick
        rig.Answer(2, true);
        rig.Ticks(1);

        const bool secondSent = c.connected;
        Log expected{"raw -> " + DispatchRig::Frame(1)};
        if (c.firstSent) expected.push_back("data " + DispatchRig::Frame(1));
        expected.push_back("raw -> " + DispatchRig::Frame(2));
        if (secondSent)
            expected.insert(expected.end(), {"data " + DispatchRig::Frame(2), "refresh"});
        EXPECT_EQ(rig.log, expected);
        EXPECT_EQ(rig.dispatcher.PacketsSent(), int(c.firstSent) + int(secondSent));
        EXPECT_TRUE(rig.dispatcher.AnswerQueue().empty());
    }
}

// Each answer goes to the sender of its request, not to the one heard last.
// A refused datagram is neither counted nor retried, and changes nothing on
// the status bar.
TEST(DelayQueue, UdpAnswersGoToTheirOwnSendersAndARefusalIsNotRetried) {
    DispatchRig rig;
    rig.fakes.udp = true;
    rig.fakes.connected = false;  // the TCP data socket plays no part
    rig.fakes.delay = true;
    rig.Answer(1);
    rig.fakes.sender = Sender("10.0.0.2", 1502);
    rig.Answer(2);
    rig.fakes.sender = Sender("10.0.0.3", 1502);
    rig.Ticks(2);
    EXPECT_EQ(rig.log, (Log{"udp 10.0.0.1:502 " + DispatchRig::Frame(1),
                            "udp 10.0.0.2:1502 " + DispatchRig::Frame(2), "refresh"}));
    rig.fakes.accept = false;
    rig.Answer(3);
    rig.Ticks(4);
    EXPECT_EQ(rig.log.size(), 4u);
    EXPECT_EQ(rig.log.back(), "udp 10.0.0.3:1502 " + DispatchRig::Frame(3));
    EXPECT_EQ(rig.dispatcher.AnswerQueue().Cost(), 0u);
    EXPECT_EQ(rig.dispatcher.PacketsSent(), 2);
}

TEST(DelayQueue, AnswerThatWouldPassTheBoundIsDroppedWithATraceLine) {
    const Packet echo(65533, '\0');  // the longest answer there is
    QueuedAnswer longest;
    longest.QueuedPacket = Assembled(MbapHeader{}, kWriteMultipleRegisters, echo);
    ASSERT_GT(DelayQueue::CostOf(longest), longest.QueuedPacket.size());
    const std::size_t limit = DelayQueue::kGroupCost + 2 * DelayQueue::CostOf(longest);

    DispatchRig rig;
    AnswerDispatcher dispatcher{rig.fakes, rig.fakes, limit};
    const auto queueLongest = [&](int id) {
        rig.Step(MbapHeader{id, 0, 0, 1}, kWriteMultipleRegisters, echo, false, dispatcher);
    };
    rig.fakes.delay = true;
    rig.fakes.delayText = "0";
    queueLongest(1);
    queueLongest(2);  // reaching the bound is allowed
    EXPECT_EQ(dispatcher.AnswerQueue().Cost(), limit);
    EXPECT_TRUE(rig.log.empty());
    rig.Step(MbapHeader{0x0ABC, 0, 0, 1}, kUnsupportedFunctionByte, ByteOf(1), true, dispatcher);
    EXPECT_EQ(rig.log, Log{"request 2748 Answer queue full, answer dropped"});
    EXPECT_EQ(dispatcher.AnswerQueue().size(), 2u);

    dispatcher.SendTick();  // everything due goes, and the room with it
    EXPECT_EQ(rig.fakes.sentIds, (Ids{1, 2}));
    EXPECT_EQ(dispatcher.AnswerQueue().Cost(), 0u);
    queueLongest(3);
    EXPECT_EQ(dispatcher.AnswerQueue().size(), 1u);
}

// The sanitizer's allocator pads every block, so resident memory says
// nothing about the queue's estimate there: the check runs in plain builds.
#if defined(__SANITIZE_ADDRESS__)
#define TARVIK_PADDED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVIK_PADDED_ALLOCATOR 1
#endif
#endif
#ifndef TARVIK_PADDED_ALLOCATOR

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// 9-byte exception answers, each far cheaper in bytes than in bookkeeping:
// the queue's estimate of its memory must hold in the process's memory.
TEST(DelayQueue, FloodOfShortAnswersStaysWithinTwiceTheBoundInResidentMemory) {
    DispatchRig rig;
    rig.fakes.delay = true;
    const std::size_t before = ResidentBytes();
    const Packet illegalAddress(1, static_cast<char>(ExceptionCode::IllegalDataAddress));
    std::size_t queued = 0;
    while (rig.log.empty() && queued < kAnswerQueueByteLimit / 48) {
        rig.Step(MbapHeader{1, 0, 2, 1}, ExceptionByteOf(FunctionCode::ReadHoldingRegisters),
                 illegalAddress, false, rig.dispatcher);
        queued = rig.dispatcher.AnswerQueue().size();
    }
    const std::size_t grown = ResidentBytes() - before;
    ASSERT_EQ(rig.log, Log{"request 1 Answer queue full, answer dropped"});
    EXPECT_LE(grown, 2 * kAnswerQueueByteLimit);
    EXPECT_GT(queued, kAnswerQueueByteLimit / 256);  // the estimate does not waste the bound either
}
#endif

}  // namespace
}  // namespace tarvik::testing
