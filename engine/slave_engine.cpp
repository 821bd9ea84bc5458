#include "engine/slave_engine.h"

#include "engine/frame_loop.h"

namespace tarvik {

SlaveEngine::SlaveEngine(RandomSource& random, bool simulatePAT, bool standardWriteAnswer)
    : random_(random), simulatePAT_(simulatePAT), standardWriteAnswer_(standardWriteAnswer) {}

void SlaveEngine::ServeUnits(const UnitSet& served, AbsentAnswer absent) {
    tables_ = UnitTables(served);
    absent_ = absent;
    unitsOn_ = tables_.UnitsOn() ? &tables_ : nullptr;
}

EngineStep SlaveEngine::ProcessPacket(std::string_view packet, uint64_t connection) {
    Begin();
    streamConnection_ = connection;
    DumpArrival(packet);
    FrameBuffer& stream = held_.Stream();
    if (!options_.dontAnswer) held_.ClearForRelease(stream);

    ArrivalOutcome taken = ArrivalOutcome::Handled;
    if (!held_.Fits(packet.size())) {
        TraceOverflow(stream, "Receive buffer over 64 MiB, connection closed");
        stream.Clear();
        steps_.Close(AnswerRoute::Stream(connection));
        taken = ArrivalOutcome::CloseConnection;
    } else {
        stream.Append(packet);
        stream.SetReleasePending(ReleaseSlice(stream, AnswerRoute::Stream(connection)));
    }
    CountArrival();
    return Result(taken);
}

EngineStep SlaveEngine::ProcessDatagram(std::string_view packet, const SenderKey& sender) {
    Begin();
    DumpArrival(packet);
    FrameBuffer& buffer = held_.Sender(sender);
    const bool answering = !options_.dontAnswer;
    if (answering) held_.ClearForRelease(buffer);
    if (answering && !held_.Fits(packet.size())) held_.ReleaseOthersToFit(sender, packet.size());

    ArrivalOutcome taken = ArrivalOutcome::Handled;
    bool pending = buffer.ReleasePending();
    if (!held_.Fits(packet.size())) {
        TraceOverflow(buffer, "Receive buffer over 64 MiB, datagram dropped");
        taken = ArrivalOutcome::DatagramDropped;
        // Its own held frames were cleared for release all the same.
        if (buffer.Releasing() > 0) pending = ReleaseSlice(buffer, AnswerRoute::Datagram(sender));
    } else {
        buffer.Append(packet);
        pending = ReleaseSlice(buffer, AnswerRoute::Datagram(sender));
    }
    CountArrival();
    held_.SettleSender(sender, pending);
    return Result(taken);
}

EngineStep SlaveEngine::ContinueRelease() {
    Begin();
    if (!ReleasePending()) return Result(ArrivalOutcome::Handled);
    FrameBuffer& stream = held_.Stream();
    if (stream.ReleasePending()) {
        stream.SetReleasePending(ReleaseSlice(stream, AnswerRoute::Stream(streamConnection_)));
    }
    while (!SliceSpent(steps_)) {
        const std::optional<SenderKey> sender = held_.FirstWaitingSender();
        if (!sender) break;
        const bool pending = ReleaseSlice(held_.Sender(*sender), AnswerRoute::Datagram(*sender));
        held_.SettleSender(*sender, pending);
    }
    return Result(ArrivalOutcome::Handled);
}

void SlaveEngine::ResetForNewConnection() {
    packetsReceived_ = 0;
    held_.ClearStream();
}

std::string_view SlaveEngine::ReceiveBuffer(const SenderKey& sender) const {
    const FrameBuffer* buffer = held_.FindSender(sender);
    return buffer == nullptr ? std::string_view() : buffer->View();
}

void SlaveEngine::Begin() {
    steps_.Clear();
    steps_.ResetMeter();
}

void SlaveEngine::DumpArrival(std::string_view packet) {
    if (options_.showRawData) steps_.Trace(StepKind::Raw, MbapHeader{}, "<-", packet);
}

void SlaveEngine::TraceOverflow(const FrameBuffer& buffer, std::string_view text) {
    // The line names the transaction in front; with fewer than two bytes, 0.
    MbapHeader header;
    if (buffer.size() >= 2) {
        const std::string_view bytes = buffer.View();
        header.TransactionIdentifier =
            256 * static_cast<unsigned char>(bytes[0]) + static_cast<unsigned char>(bytes[1]);
    }
    steps_.Trace(StepKind::Request, header, text);
}

bool SlaveEngine::ReleaseSlice(FrameBuffer& buffer, const AnswerRoute& route) {
    HandlerContext ctx{options_,
                       steps_,
                       random_,
                       &tables_.First(),
                       simulatePAT_,
                       standardWriteAnswer_,
                       route,
                       unitsOn_,
                       absent_,
                       faults_.Empty() ? nullptr : &faults_};
    return AnswerWholeFrames(buffer, ctx);
}

void SlaveEngine::CountArrival() {
    // Wraps like the 32-bit counter it is instead of overflowing.
    packetsReceived_ = static_cast<int32_t>(static_cast<uint32_t>(packetsReceived_) + 1u);
}

EngineStep SlaveEngine::Result(ArrivalOutcome taken) const {
    const bool more = taken == ArrivalOutcome::Handled && ReleasePending();
    return EngineStep{more ? ArrivalOutcome::MoreToRelease : taken, steps_};
}

}  // namespace tarvik
