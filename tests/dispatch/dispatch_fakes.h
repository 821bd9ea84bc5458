// Stand-ins for the window's options, the trace, the sockets and the status
// bar. Every call lands in one shared log, so tests see the order of dumps,
// sends and refreshes across all of them.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/answer_dispatcher.h"
#include "dispatch/answer_sockets.h"
#include "engine/ports.h"

namespace tarvik::testing {

using Log = std::vector<std::string>;

// "00 01 0A" -> bytes.
inline Packet Bytes(const std::string& hex) {
    Packet out;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    return out;
}

// bytes -> "00 01 0A"; long frames only by their size, to keep logs small.
inline std::string HexOf(const Packet& bytes) {
    if (bytes.size() > 64) return std::to_string(bytes.size()) + " bytes";
    std::string text;
    for (const char byte : bytes) {
        char group[4];
        std::snprintf(group, sizeof group, "%02X ", static_cast<unsigned char>(byte));
        text += group;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

class FakeOptions : public OperatorOptions {
public:
    bool ShowRawData() const override { return true; }
    bool ShowReads() const override { return true; }
    bool DontAnswer() const override { return false; }
    bool DelayAnswer() const override { return delay; }
    std::string DelayText() const override { return delayText; }

    bool delay = false;
    std::string delayText = "200";
};

class RecordingTrace : public TraceWriter {
public:
    explicit RecordingTrace(Log& log) : log_(log) {}
    void TraceRaw(std::string_view mark, const Packet& packet) override {
        log_.push_back("raw " + std::string(mark) + " " + HexOf(packet));
    }
    void TraceRequest(const MbapHeader& header, std::string_view text) override {
        log_.push_back("request " + std::to_string(header.TransactionIdentifier) + " " +
                       std::string(text));
    }
    void TraceAnswer(const MbapHeader& header, std::string_view text) override {
        log_.push_back("answer " + std::to_string(header.TransactionIdentifier) + " " +
                       std::string(text));
    }

private:
    Log& log_;
};

class FakeSockets : public AnswerSockets {
public:
    explicit FakeSockets(Log& log) : log_(log) {}
    bool UdpMode() const override { return udp; }
    int DataState() const override { return state; }
    bool SendUdp(const Packet& frame) override { return Record("udp", frame); }
    bool SendData(const Packet& frame) override { return Record("data", frame); }

    bool udp = false;
    int state = kStateConnected;
    bool accept = true;
    // Transaction identifier of every frame handed over, accepted or not.
    std::vector<int> sentIds;

private:
    bool Record(const char* socket, const Packet& frame) {
        log_.push_back(std::string(socket) + " " + HexOf(frame));
        sentIds.push_back(GetWord(frame, 0));
        return accept;
    }
    Log& log_;
};

class CountingStatus : public StatusRefresh {
public:
    explicit CountingStatus(Log& log) : log_(log) {}
    void RefreshStatusBar() override { log_.push_back("refresh"); }

private:
    Log& log_;
};

// A dispatcher wired to the fakes above, TCP connected, "Delay answer" clear.
struct DispatchRig {
    Log log;
    FakeOptions options;
    RecordingTrace trace{log};
    FakeSockets sockets{log};
    CountingStatus status{log};
    AnswerDispatcher dispatcher{options, trace, sockets, status};

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
};

}  // namespace tarvik::testing
