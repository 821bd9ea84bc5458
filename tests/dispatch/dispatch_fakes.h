// Stand-ins for the window's options, the trace, the sockets and the status
// bar. Every call lands in one shared log, so tests see the order of dumps,
// sends and refreshes across all of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/answer_dispatcher.h"
#include "dispatch/answer_sockets.h"
#include "engine/function_codes.h"
#include "engine/ports.h"
#include "tests/support/hex_bytes.h"

namespace tarvik::testing {

inline constexpr int kReadHoldingRegisters = CodeOf(FunctionCode::ReadHoldingRegisters);
inline constexpr int kWriteMultipleRegisters = CodeOf(FunctionCode::WriteMultipleRegisters);

using Log = std::vector<std::string>;

// Long frames only by their size, to keep logs small.
inline std::string LogForm(const Packet& frame) {
    return frame.size() > 64 ? std::to_string(frame.size()) + " bytes" : HexOf(frame);
}

struct FakeOptions : OperatorOptions {
    bool ShowRawData() const override { return true; }
    bool ShowReads() const override { return true; }
    bool DontAnswer() const override { return false; }
    bool DelayAnswer() const override { return delay; }
    std::string DelayText() const override { return delayText; }

    bool delay = false;
    std::string delayText = "200";
};

// Trace, sockets and status bar in one: they all write to the same log.
struct LoggingPorts : TraceWriter, AnswerSockets, StatusRefresh {
    void TraceRaw(std::string_view mark, const Packet& packet) override {
        log.push_back("raw " + std::string(mark) + " " + LogForm(packet));
    }
    void TraceRequest(const MbapHeader& header, std::string_view text) override {
        log.push_back("request " + std::to_string(header.TransactionIdentifier) + " " + std::string(text));
    }
    void TraceAnswer(const MbapHeader& header, std::string_view text) override {
        log.push_back("answer " + std::to_string(header.TransactionIdentifier) + " " + std::string(text));
    }
    bool UdpMode() const override { return udp; }
    AnswerRoute CurrentRoute() const override {
        return udp ? AnswerRoute{0, senderHost, senderPort} : AnswerRoute{connection, {}, 0};
    }
    bool SendUdp(const Packet& frame, const std::string& host, int32_t port) override {
        return Record("udp " + host + ":" + std::to_string(port), frame);
    }
    SocketState DataState() const override { return state; }
    uint64_t DataConnection() const override { return connection; }
    bool SendData(const Packet& frame) override { return Record("data", frame); }
    void RefreshStatusBar() override { log.push_back("refresh"); }

    Log log;
    bool udp = false;
    SocketState state = SocketState::Connected;
    uint64_t connection = 1;
    std::string senderHost = "10.0.0.1";  // the datagram being processed
    int32_t senderPort = 502;
    bool accept = true;
    std::vector<int> sentIds;  // transaction identifier of every frame handed over, accepted or not

private:
    bool Record(const std::string& socket, const Packet& frame) {
        log.push_back(socket + " " + LogForm(frame));
        sentIds.push_back(GetWord(frame, 0));
        return accept;
    }
};

// A dispatcher wired to the fakes above, TCP connected, "Delay answer" clear.
struct DispatchRig {
    FakeOptions options;
    LoggingPorts ports;
    AnswerDispatcher dispatcher{options, ports, ports, ports};
    Log& log = ports.log;

    // A Read Holding Registers answer told apart by its transaction identifier.
    void Answer(int id, bool view = false) {
        dispatcher.DispatchAnswer(MbapHeader{id, 0, 6, 1}, kReadHoldingRegisters, Bytes("02 00 2A"), view);
    }
    static std::string Frame(int id) {
        return HexOf(Bytes("00 00 00 00 00 05 01 03 02 00 2A").replace(1, 1, 1, char(id)));
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) dispatcher.SendTick();
    }
    // In the order the ticks will send them.
    std::vector<int> QueuedIds() const {
        std::vector<int> ids;
        dispatcher.AnswerQueue().ForEach(
            [&](const QueuedAnswer& entry) { ids.push_back(GetWord(entry.QueuedPacket, 0)); });
        return ids;
    }
};

}  // namespace tarvik::testing
