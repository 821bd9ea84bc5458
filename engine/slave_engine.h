// The slave protocol engine as one step: the bytes of one arrival and the
// route they came by go in; the frames are cut and answered, and what comes
// out is one ordered list of steps (trace records and answers, each answer
// with its route and how it leaves). The caller carries the steps out; the
// engine sends nothing and tells no one. A TCP stream has one receive
// buffer; every UDP sender has its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/absent_answer.h"
#include "engine/answer_route.h"
#include "engine/fault_rules.h"
#include "engine/held_frames.h"
#include "engine/operator_options.h"
#include "engine/random_source.h"
#include "engine/register_tables.h"
#include "engine/steps.h"
#include "engine/unit_tables.h"

namespace tarvik {

enum class ArrivalOutcome {
    Handled,
    // Whole frames wait behind the slice limit: call ContinueRelease on a
    // later pass of the event loop.
    MoreToRelease,
    // The stream's bytes would have passed kReceiveBufferLimit: the stream
    // buffer was emptied and the steps end by closing the connection.
    CloseConnection,
    // The datagram would have passed kReceiveBufferLimit and was dropped.
    // The sender's held frames may still be releasing: see ReleasePending.
    DatagramDropped,
};

// The steps of one arrival or one slice; valid until the engine's next call.
struct EngineStep {
    ArrivalOutcome outcome = ArrivalOutcome::Handled;
    const StepList& steps;
};

class SlaveEngine {
public:
    // standardWriteAnswer: function 16 is answered with start and quantity
    // only, as standard masters expect, instead of the whole request.
    SlaveEngine(RandomSource& random, bool simulatePAT, bool standardWriteAnswer = false);

    // Serves each unit of `served` from tables of its own, all 0, and
    // answers requests to any other unit per `absent`; none served, every
    // unit id shares the one pair (the start). Before the first arrival:
    // earlier tables and references to them are gone.
    void ServeUnits(const UnitSet& served, AbsentAnswer absent);

    // The operator's options from now on (the next frame reads them).
    void SetOptions(const OperatorOptions& options) { options_ = options; }
    const OperatorOptions& Options() const { return options_; }

    // Bytes of the TCP stream that came on connection `connection`: dump
    // them, append them to the stream buffer, answer its whole frames in
    // order (one slice), count the arrival.
    EngineStep ProcessPacket(std::string_view packet, uint64_t connection);

    // One datagram: the same, with the sender's own buffer; its answers go
    // back to `sender`.
    EngineStep ProcessDatagram(std::string_view packet, const SenderKey& sender);

    // The next slice of frames left waiting by the slice limit: the stream
    // first, then each waiting sender in turn, in the order they began.
    // Not an arrival: no dump, not counted.
    EngineStep ContinueRelease();
    bool ReleasePending() const { return held_.ReleasePending(); }

    // A connection was accepted: the counter and the stream buffer start
    // afresh, and the stream's release ends.
    void ResetForNewConnection();
    // An outgoing connection was established: the stream buffer (held
    // frames included) is emptied; the counter goes on.
    void ClearStreamBuffer() { held_.ClearStream(); }

    // The fault rules tried for every whole frame; switching one on or off
    // holds from the next frame.
    FaultRules& Faults() { return faults_; }
    const FaultRules& Faults() const { return faults_; }

    // Units off: the one pair. Units on: the lowest served unit's.
    RegisterTables& Registers() { return tables_.First(); }
    const RegisterTables& Registers() const { return tables_.First(); }
    UnitTables& Units() { return tables_; }
    const UnitTables& Units() const { return tables_; }
    std::string_view ReceiveBuffer() const { return held_.Stream().View(); }
    // A sender's bytes not yet cut into frames; empty for one not remembered.
    std::string_view ReceiveBuffer(const SenderKey& sender) const;
    std::size_t RememberedSenders() const { return held_.RememberedSenders(); }
    int32_t PacketsReceived() const { return packetsReceived_; }

private:
    void Begin();
    void DumpArrival(std::string_view packet);
    void TraceOverflow(const FrameBuffer& buffer, std::string_view text);
    // One slice of `buffer`'s frames, answered to `route`; true when whole
    // frames wait for a later pass.
    bool ReleaseSlice(FrameBuffer& buffer, const AnswerRoute& route);
    void CountArrival();
    EngineStep Result(ArrivalOutcome taken) const;

    RandomSource& random_;
    bool simulatePAT_;
    bool standardWriteAnswer_;
    OperatorOptions options_;
    UnitTables tables_;
    AbsentAnswer absent_ = AbsentAnswer::GatewayTargetFailed;
    UnitTables* unitsOn_ = nullptr;  // &tables_ with units on, for every slice
    FaultRules faults_;
    HeldFrames held_;
    uint64_t streamConnection_ = 0;  // the connection the stream's bytes came on
    StepList steps_;
    int32_t packetsReceived_ = 0;
};

}  // namespace tarvik
