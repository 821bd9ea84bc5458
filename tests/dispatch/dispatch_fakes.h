// Stand-ins for the window's options, the trace, the sockets and the status
// bar. Every call lands in one shared log, so tests see the order of dumps,
// sends and refreshes across all of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dispatch/answer_dispatcher.h"
#include "dispatch/answer_sockets.h"
#include "engine/ports.h"
#include "tests/support/hex_bytes.h"

namespace tarvik::testing {

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
    int DataState() const override { return state; }
    bool SendUdp(const Packet& frame) override { return Record("udp", frame); }
    bool SendData(const Packet& frame) override { return Record("data", frame); }
    void RefreshStatusBar() override { log.push_back("refresh"); }

    Log log;
    bool udp = false;
    int state = kStateConnected;
    bool accept = true;
    std::vector<int> sentIds;  // transaction identifier of every frame handed over, accepted or not

private:
    bool Record(const char* socket, const Packet& frame) {
        log.push_back(std::string(socket) + " " + LogForm(frame));
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
        dispatcher.DispatchAnswer(MbapHeader{id, 0, 6, 1}, 3, Bytes("02 00 2A"), view);
    }
    static std::string Frame(int id) {
        return HexOf(Bytes("00 00 00 00 00 05 01 03 02 00 2A").replace(1, 1, 1, char(id)));
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) dispatcher.Timer_Send_Timer();
    }
    std::vector<int> QueuedIds() const {
        std::vector<int> ids;
        for (const cQueuedAnswer& entry : dispatcher.AnswerQueue()) ids.push_back(GetWord(entry.QueuedPacket, 0));
        return ids;
    }
};

}  // namespace tarvik::testing
