// Test doubles for the engine's ports: options as plain fields, and
// recorders that keep every trace line and every answer handed on.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "engine/slave_engine.h"
#include "engine/text_forms.h"
#include "testkit/hex_bytes.h"

namespace tarvik::testing {

using Lines = std::vector<std::string>;

struct FakeOptions : OperatorOptions {
    bool showRaw = false, showReads = true, dontAnswer = false;
    bool ShowRawData() const override { return showRaw; }
    bool ShowReads() const override { return showReads; }
    bool DontAnswer() const override { return dontAnswer; }
    bool DelayAnswer() const override { return false; }
    std::string DelayText() const override { return "200"; }
};

inline std::string SenderText(const SenderKey& sender) {
    return sender.host.empty() ? "" : sender.host + ":" + std::to_string(sender.port);
}

// Lines as "RAW <- 00 01", "REQ 0001 text", "ANS 0001 0000 text", and
// "DISPATCH 3" where an answer was handed on.
struct Recorder : TraceWriter, AnswerDispatch, StatusRefresh {
    struct Answer {
        std::string wire;  // the frame as it goes on the wire
        int functionByte;
        bool view;
        std::string sender;  // where the engine said it goes: "host:port", "" for the stream
    };
    Lines lines;
    std::vector<Answer> answers;
    int refreshes = 0;
    const SlaveEngine* engine = nullptr;
    // For releases of megabytes: each answer's wire is its id ("0001") alone,
    // and no "DISPATCH" line.
    bool idsOnly = false;
    std::size_t passBytes = 0, largestPass = 0;  // answer bytes per pass of the event loop

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
    void DispatchAnswer(const MbapHeader& h, int fb, const Packet& data, bool view) override {
        passBytes += 8 + data.size();
        if (idsOnly) {
            answers.push_back(
                {Hex4(h.TransactionIdentifier), fb, view, SenderText(engine->CurrentSender())});
            return;
        }
        Packet frame;
        AppendWord(frame, h.TransactionIdentifier);
        AppendWord(frame, h.ProtocolIdentifier);
        AppendWord(frame, static_cast<int32_t>(data.size()) + 2);
        frame += ByteOf(h.UnitIdentifier) + ByteOf(fb) + data;
        answers.push_back({HexOf(frame), fb, view, SenderText(engine->CurrentSender())});
        lines.push_back("DISPATCH " + Decimal(fb));
    }
    void RefreshStatusBar() override { ++refreshes; }
    void EndPass() {
        largestPass = std::max(largestPass, passBytes);
        passBytes = 0;
    }
};

// A coil write whose Length is `length`: a frame as big as wanted with a
// 12-byte answer.
inline Packet CoilWrite(int tid, std::size_t length) {
    Packet frame = PutWord(tid) + Bytes("00 00") + PutWord(static_cast<int32_t>(length)) +
                   Bytes("01 0F 00 00 00 08 01");
    frame.resize(6 + length, '\x55');
    return frame;
}

struct ScriptedRandom : RandomSource {
    std::deque<double> values;
    double NextUniform() override {
        if (values.empty()) return 0.0;
        const double v = values.front();
        values.pop_front();
        return v;
    }
};

// An engine with every port recorded; "Show raw data" clear unless a test sets it.
struct EngineRig {
    FakeOptions options;
    Recorder rec;
    ScriptedRandom random;
    SlaveEngine engine;

    explicit EngineRig(bool simulatePAT = false, bool standardWriteAnswer = false)
        : engine(EnginePorts{options, rec, rec, rec, random}, simulatePAT, standardWriteAnswer) {
        rec.engine = &engine;
    }
    ArrivalOutcome Feed(const std::string& hex) { return engine.ProcessPacket(Bytes(hex)); }
    // Bytes from a UDP sender, or from the stream when `from` is empty.
    ArrivalOutcome Arrive(const SenderKey& from, const Packet& bytes) {
        const ArrivalOutcome outcome =
            from.host.empty() ? engine.ProcessPacket(bytes) : engine.ProcessDatagram(bytes, from);
        rec.EndPass();
        return outcome;
    }
    // Continues releases still owed, at most `most` passes; the passes taken.
    int Drain(int most = 1 << 20) {
        int passes = 0;
        for (; passes < most && engine.ReleasePending(); ++passes) {
            engine.ContinueRelease();
            rec.EndPass();
        }
        return passes;
    }
    RegisterTable& Holding() { return engine.Registers().HoldingRegisters; }
    std::string LastWire() const { return rec.answers.back().wire; }
};

}  // namespace tarvik::testing
