#include "engine/held_frames.h"

#include <algorithm>

namespace tarvik {

// Those cleared at once stay within one bound too, so memory stays within two.
void HeldFrames::ClearForRelease(FrameBuffer& buffer) {
    if (buffer.WholeFrameBytes() <= buffer.Releasing()) return;  // nothing new to clear
    const std::size_t others = Releasing() - buffer.Releasing();
    const std::size_t room = kReceiveBufferLimit > others ? kReceiveBufferLimit - others : 0;
    buffer.SetReleasing(std::max(buffer.Releasing(), std::min(buffer.WholeFrameBytes(), room)));
}

// A sender that never speaks again would otherwise keep its held frames, and
// with them the bound, for good: theirs are released too, to their own
// senders.
void HeldFrames::ReleaseOthersToFit(const SenderKey& sender, std::size_t arriving) {
    senders_.VisitLeastRecentFirst([&](const SenderKey& key, FrameBuffer& other) {
        if (Fits(arriving)) return false;
        if (key == sender || other.ReleasePending()) return true;
        ClearForRelease(other);
        if (other.Releasing() > 0) {
            other.SetReleasePending(true);
            SetWaiting(key, true);
        }
        return true;
    });
}

void HeldFrames::SettleSender(const SenderKey& sender, bool pending) {
    FrameBuffer* buffer = senders_.Find(sender);
    if (buffer == nullptr) return;
    buffer->SetReleasePending(pending);
    SetWaiting(sender, pending);
    if (buffer->empty()) {
        senders_.Forget(sender);
        return;
    }
    if (senders_.Count() <= SenderBuffers::kMaxSenders) return;
    if (auto gone = senders_.ForgetLeastRecent(sender, /*evenReleasing=*/true)) {
        SetWaiting(*gone, false);
    }
}

std::optional<SenderKey> HeldFrames::FirstWaitingSender() {
    while (!waiting_.empty()) {
        if (senders_.Find(waiting_.front()) != nullptr) return waiting_.front();
        waiting_.pop_front();
    }
    return std::nullopt;
}

void HeldFrames::SetWaiting(const SenderKey& sender, bool waiting) {
    const auto at = std::find(waiting_.begin(), waiting_.end(), sender);
    if (waiting && at == waiting_.end()) waiting_.push_back(sender);
    if (!waiting && at != waiting_.end()) waiting_.erase(at);
}

}  // namespace tarvik
