// Test doubles for the engine's ports: options as plain fields, and
// recorders that keep every trace line and every answer handed on.
#pragma once

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "engine/slave_engine.h"
#include "engine/text_forms.h"

namespace tarvik::testing {

// "00 01 0A" -> bytes.
inline Packet Bytes(const std::string& hex) {
    Packet out;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    return out;
}

// bytes -> "00 01 0A".
inline std::string HexOf(const Packet& packet) {
    std::string text;
    for (unsigned char b : packet) {
        if (!text.empty()) text += ' ';
        text += Hex2(b);
    }
    return text;
}

struct FakeOptions : OperatorOptions {
    bool showRaw = true, showReads = true, dontAnswer = false, delay = false;
    std::string delayText = "200";
    bool ShowRawData() const override { return showRaw; }
    bool ShowReads() const override { return showReads; }
    bool DontAnswer() const override { return dontAnswer; }
    bool DelayAnswer() const override { return delay; }
    std::string DelayText() const override { return delayText; }
};

// Lines as "RAW <- 00 01", "REQ 0001 text", "ANS 0001 0000 text".
struct RecordingTrace : TraceWriter {
    std::vector<std::string> lines;
    void TraceRaw(std::string_view mark, const Packet& packet) override {
        lines.push_back("RAW " + std::string(mark) + " " + HexOf(packet));
    }
    void TraceRequest(const MbapHeader& h, std::string_view text) override {
        lines.push_back("REQ " + Hex4(h.TransactionIdentifier) + " " + std::string(text));
    }
    void TraceAnswer(const MbapHeader& h, std::string_view text) override {
        lines.push_back("ANS " + Hex4(h.TransactionIdentifier) + " " + Hex4(h.ProtocolIdentifier) +
                        " " + std::string(text));
    }
};

struct DispatchedAnswer {
    MbapHeader header;
    int functionByte;
    Packet data;
    bool view;
    // The frame as it goes on the wire.
    std::string WireHex() const {
        Packet frame;
        AppendWord(frame, header.TransactionIdentifier);
        AppendWord(frame, header.ProtocolIdentifier);
        AppendWord(frame, static_cast<int32_t>(data.size()) + 2);
        frame.push_back(static_cast<char>(header.UnitIdentifier));
        frame.push_back(static_cast<char>(functionByte));
        frame += data;
        return HexOf(frame);
    }
};

struct RecordingDispatch : AnswerDispatch {
    std::vector<DispatchedAnswer> answers;
    RecordingTrace* trace = nullptr;  // marks where in the trace each answer was handed on
    void DispatchAnswer(const MbapHeader& h, int fb, const Packet& data, bool view) override {
        answers.push_back({h, fb, data, view});
        if (trace) trace->lines.push_back("DISPATCH " + Decimal(fb));
    }
};

struct CountingStatus : StatusRefresh {
    int refreshes = 0;
    void RefreshStatusBar() override { ++refreshes; }
};

struct ScriptedRandom : RandomSource {
    std::deque<double> values;
    double NextUniform() override {
        if (values.empty()) return 0.0;
        double v = values.front();
        values.pop_front();
        return v;
    }
};

// An engine with every port recorded; options at the window's start values.
struct EngineRig {
    FakeOptions options;
    RecordingTrace trace;
    RecordingDispatch dispatch;
    CountingStatus status;
    ScriptedRandom random;
    SlaveEngine engine{EnginePorts{options, trace, dispatch, status, random}, false};

    explicit EngineRig(bool simulatePAT = false)
        : engine(EnginePorts{options, trace, dispatch, status, random}, simulatePAT) {
        dispatch.trace = &trace;
    }
    ArrivalOutcome Feed(const std::string& hex) { return engine.ProcessPacket(Bytes(hex)); }
    RegisterTable& Holding() { return engine.Registers().HoldingRegisters; }
    RegisterTable& Input() { return engine.Registers().InputRegisters; }
};

}  // namespace tarvik::testing
