// Test doubles around the engine: options as plain fields pushed before
// every call, and a recorder that carries the steps out the way answer
// sending does, keeping every trace line and every answer.
#pragma once

#include <algorithm>
#include <deque>
#include <string_view>
#include <string>
#include <vector>

#include "engine/frame_loop.h"
#include "engine/slave_engine.h"
#include "engine/text_forms.h"
#include "testkit/answer_routes.h"
#include "testkit/hex_bytes.h"

namespace tarvik::testing {

using Lines = std::vector<std::string>;

// "a|b" as the lines a and b; "" as none.
inline Lines Split(std::string_view joined) {
    Lines lines;
    for (std::size_t at = 0; at < joined.size();) {
        const std::size_t bar = std::min(joined.find('|', at), joined.size());
        lines.emplace_back(joined.substr(at, bar - at));
        at = bar + 1;
    }
    return lines;
}

// The connection every stream arrival of the rig comes on.
inline constexpr uint64_t kRigConnection = 7;

struct FakeOptions {
    bool showRaw = false, showReads = true, dontAnswer = false;
    OperatorOptions Snapshot() const { return OperatorOptions{showRaw, showReads, dontAnswer}; }
};

// Lines as "RAW <- 00 01", "REQ 0001 text", "ANS 0001 0000 text", and
// "DISPATCH 3" where an answer was handed on.
struct Recorder : TraceWriter {
    struct Answer {
        std::string wire;  // the frame as it goes on the wire
        int functionByte;
        bool view;
        std::string sender;  // where the engine said it goes: "host:port", "" for the stream
    };
    Lines lines;
    std::vector<Answer> answers;
    // For releases of megabytes: each answer's wire is its id ("0001") alone,
    // and no "DISPATCH" line.
    bool idsOnly = false;
    std::size_t passBytes = 0, largestPass = 0;  // answer bytes per pass of the event loop

    void TraceRaw(std::string_view mark, std::string_view bytes) override {
        lines.push_back("RAW " + std::string(mark) + " " + HexOf(Packet(bytes)));
    }
    void TraceRequest(const MbapHeader& h, std::string_view text) override {
        lines.push_back("REQ " + Hex4(h.TransactionIdentifier) + " " + std::string(text));
    }
    void TraceAnswer(const MbapHeader& h, std::string_view text) override {
        lines.push_back("ANS " + Hex4(h.TransactionIdentifier) + " " + Hex4(h.ProtocolIdentifier) +
                        " " + std::string(text));
    }
    void CarryOut(const StepList& steps) {
        for (const Step& step : steps) {
            if (step.kind == StepKind::Close) {
                lines.push_back("CLOSE " + RouteText(step.route));
            } else if (step.kind != StepKind::Send) {
                steps.WriteTrace(step, *this);
            } else {
                Record(step, steps.Bytes(step));
            }
        }
    }
    void Record(const Step& step, std::string_view frame) {
        passBytes += frame.size();
        const int fb = static_cast<unsigned char>(frame[7]);
        const std::string to = RouteText(step.route);
        if (idsOnly) {
            answers.push_back(
                {Hex4(step.header.TransactionIdentifier), fb, step.viewDebugData, to});
            return;
        }
        answers.push_back({HexOf(Packet(frame)), fb, step.viewDebugData, to});
        lines.push_back("DISPATCH " + Decimal(fb));
    }
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

// Hands out the given draws in turn (0 once they run out) and counts them.
struct ScriptedRandom : RandomSource {
    std::deque<double> values;
    int draws = 0;
    double NextUniform() override {
        ++draws;
        if (values.empty()) return 0.0;
        const double v = values.front();
        values.pop_front();
        return v;
    }
};

// An engine whose steps are recorded; "Show raw data" clear unless a test sets it.
struct EngineRig {
    FakeOptions options;
    Recorder rec;
    ScriptedRandom random;
    SlaveEngine engine;

    explicit EngineRig(bool simulatePAT = false, bool standardWriteAnswer = false)
        : engine(random, simulatePAT, standardWriteAnswer) {}
    ArrivalOutcome Feed(const std::string& hex) { return Arrive(SenderKey{}, Bytes(hex)); }
    // Bytes from a UDP sender, or from the stream when `from` is empty.
    ArrivalOutcome Arrive(const SenderKey& from, const Packet& bytes) {
        engine.SetOptions(options.Snapshot());
        const EngineStep step = from == SenderKey{} ? engine.ProcessPacket(bytes, kRigConnection)
                                                    : engine.ProcessDatagram(bytes, from);
        rec.CarryOut(step.steps);
        rec.EndPass();
        return step.outcome;
    }
    ArrivalOutcome Continue() {
        engine.SetOptions(options.Snapshot());
        const EngineStep step = engine.ContinueRelease();
        rec.CarryOut(step.steps);
        rec.EndPass();
        return step.outcome;
    }
    // Continues releases still owed, at most `most` passes; the passes taken.
    int Drain(int most = 1 << 20) {
        int passes = 0;
        for (; passes < most && engine.ReleasePending(); ++passes) Continue();
        return passes;
    }
    RegisterTable& Holding() { return engine.Registers().HoldingRegisters; }
    std::string LastWire() const { return rec.answers.back().wire; }
};

}  // namespace tarvik::testing
