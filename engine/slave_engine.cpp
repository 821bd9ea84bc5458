#include "engine/slave_engine.h"

#include <algorithm>

#include "engine/function_handlers.h"

namespace tarvik {

SlaveEngine::SlaveEngine(EnginePorts ports, bool simulatePAT, bool standardWriteAnswer)
    : ports_(ports),
      simulatePAT_(simulatePAT),
      standardWriteAnswer_(standardWriteAnswer),
      meter_(ports.dispatch) {}

ArrivalOutcome SlaveEngine::ProcessPacket(const Packet& packet) {
    current_ = {};
    DumpArrival(packet);
    if (!ports_.options.DontAnswer()) ClearForRelease(stream_);

    ArrivalOutcome taken = ArrivalOutcome::Handled;
    if (HeldBytes() + packet.size() > kReceiveBufferLimit) {
        TraceOverflow(stream_, "Receive buffer over 64 MiB, connection closed");
        stream_.Clear();
        taken = ArrivalOutcome::CloseConnection;
    } else {
        stream_.Append(packet);
        meter_.StartPass();
        ReleaseSlice(stream_);
    }

    CountArrival();
    ports_.status.RefreshStatusBar();
    return Outcome(taken);
}

ArrivalOutcome SlaveEngine::ProcessDatagram(const Packet& packet, const SenderKey& sender) {
    current_ = sender;
    DumpArrival(packet);
    FrameBuffer& buffer = senders_.Touch(sender);
    const bool answering = !ports_.options.DontAnswer();
    if (answering) ClearForRelease(buffer);
    std::size_t held = HeldBytes();
    if (answering && held + packet.size() > kReceiveBufferLimit) {
        held = ReleaseOthersToFit(sender, held, packet.size());
    }

    ArrivalOutcome taken = ArrivalOutcome::Handled;
    meter_.StartPass();
    if (held + packet.size() > kReceiveBufferLimit) {
        TraceOverflow(buffer, "Receive buffer over 64 MiB, datagram dropped");
        taken = ArrivalOutcome::DatagramDropped;
        // Its own held frames were cleared for release all the same.
        if (buffer.Releasing() > 0) ReleaseSenderSlice(sender, buffer);
    } else {
        buffer.Append(packet);
        ReleaseSenderSlice(sender, buffer);
    }

    CountArrival();
    SettleSender(sender);
    current_ = {};
    ports_.status.RefreshStatusBar();
    return Outcome(taken);
}

ArrivalOutcome SlaveEngine::ContinueRelease() {
    if (!ReleasePending()) return ArrivalOutcome::Handled;
    meter_.StartPass();
    if (stream_.ReleasePending()) ReleaseSlice(stream_);
    while (!waitingSenders_.empty() && !meter_.SliceSpent()) {
        const SenderKey sender = waitingSenders_.front();
        FrameBuffer* buffer = senders_.Find(sender);
        if (buffer == nullptr) {
            waitingSenders_.pop_front();
            continue;
        }
        current_ = sender;
        ReleaseSenderSlice(sender, *buffer);
        SettleSender(sender);
    }
    current_ = {};
    ports_.status.RefreshStatusBar();
    return Outcome(ArrivalOutcome::Handled);
}

bool SlaveEngine::ReleasePending() const {
    return stream_.ReleasePending() || !waitingSenders_.empty();
}

void SlaveEngine::ResetForNewConnection() {
    packetsReceived_ = 0;
    stream_.Clear();
}

void SlaveEngine::ClearStreamBuffer() { stream_.Clear(); }

std::string_view SlaveEngine::ReceiveBuffer(const SenderKey& sender) const {
    const FrameBuffer* buffer = senders_.Find(sender);
    return buffer == nullptr ? std::string_view() : buffer->View();
}

void SlaveEngine::DumpArrival(const Packet& packet) {
    if (ports_.options.ShowRawData()) ports_.trace.TraceRaw("<-", packet);
}

std::size_t SlaveEngine::HeldBytes() const { return stream_.HeldBytes() + senders_.HeldBytes(); }

std::size_t SlaveEngine::Releasing() const { return stream_.Releasing() + senders_.Releasing(); }

// "Don't answer" is clear: the whole frames the buffer holds will be
// answered, so they stop counting against the bound. Those cleared at once
// stay within one bound too, so memory stays within two.
void SlaveEngine::ClearForRelease(FrameBuffer& buffer) {
    if (buffer.WholeFrameBytes() <= buffer.Releasing()) return;  // nothing new to clear
    const std::size_t others = Releasing() - buffer.Releasing();
    const std::size_t room = kReceiveBufferLimit > others ? kReceiveBufferLimit - others : 0;
    buffer.SetReleasing(std::max(buffer.Releasing(), std::min(buffer.WholeFrameBytes(), room)));
}

// A sender that never speaks again would otherwise keep its held frames, and
// with them the bound, for good: release theirs too, least recent first, to
// their own senders, until the datagram fits. Returns the bytes then held.
std::size_t SlaveEngine::ReleaseOthersToFit(const SenderKey& sender, std::size_t held,
                                            std::size_t arriving) {
    senders_.VisitLeastRecentFirst([&](const SenderKey& key, FrameBuffer& other) {
        if (held + arriving <= kReceiveBufferLimit) return false;
        if (key == sender || other.ReleasePending()) return true;
        const std::size_t before = other.HeldBytes();
        ClearForRelease(other);
        if (other.Releasing() > 0) SetSenderPending(key, other, true);
        held -= before - other.HeldBytes();
        return true;
    });
    return held;
}

void SlaveEngine::TraceOverflow(const FrameBuffer& buffer, std::string_view text) {
    // The line names the transaction in front; with fewer than two bytes, 0.
    MbapHeader header;
    if (buffer.size() >= 2) {
        const std::string_view bytes = buffer.View();
        header.TransactionIdentifier =
            256 * static_cast<unsigned char>(bytes[0]) + static_cast<unsigned char>(bytes[1]);
    }
    ports_.trace.TraceRequest(header, text);
}

void SlaveEngine::ReleaseSlice(FrameBuffer& buffer) {
    HandlerContext ctx{ports_.options, ports_.trace,        meter_, ports_.random, tables_,
                       simulatePAT_,   standardWriteAnswer_};
    buffer.SetReleasePending(AnswerWholeFrames(buffer, ctx, meter_));
}

void SlaveEngine::ReleaseSenderSlice(const SenderKey& sender, FrameBuffer& buffer) {
    ReleaseSlice(buffer);
    SetSenderPending(sender, buffer, buffer.ReleasePending());
}

void SlaveEngine::SetSenderPending(const SenderKey& sender, FrameBuffer& buffer, bool pending) {
    buffer.SetReleasePending(pending);
    const auto at = std::find(waitingSenders_.begin(), waitingSenders_.end(), sender);
    if (pending && at == waitingSenders_.end()) waitingSenders_.push_back(sender);
    if (!pending && at != waitingSenders_.end()) waitingSenders_.erase(at);
}

// A sender with nothing left takes no place; past the limit, the one heard
// from least recently is forgotten with its bytes.
void SlaveEngine::SettleSender(const SenderKey& sender) {
    const FrameBuffer* buffer = senders_.Find(sender);
    if (buffer == nullptr) return;
    if (buffer->empty()) {
        senders_.Forget(sender);
        return;
    }
    if (senders_.Count() <= SenderBuffers::kMaxSenders) return;
    if (auto gone = senders_.ForgetLeastRecent(sender, /*evenReleasing=*/true)) {
        const auto at = std::find(waitingSenders_.begin(), waitingSenders_.end(), *gone);
        if (at != waitingSenders_.end()) waitingSenders_.erase(at);
    }
}

void SlaveEngine::CountArrival() {
    // Wraps like the 32-bit counter it is instead of overflowing.
    packetsReceived_ = static_cast<int32_t>(static_cast<uint32_t>(packetsReceived_) + 1u);
}

ArrivalOutcome SlaveEngine::Outcome(ArrivalOutcome taken) const {
    return taken == ArrivalOutcome::Handled && ReleasePending() ? ArrivalOutcome::MoreToRelease
                                                                : taken;
}

}  // namespace tarvik
