// "Don't answer" and the receive bound in one place: the stream's receive
// buffer and each UDP sender's, what they may hold together, which held
// frames are cleared for release, and whose release waits for a later pass.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string_view>

#include "engine/answer_route.h"
#include "engine/frame_buffer.h"
#include "engine/sender_buffers.h"

namespace tarvik {

class HeldFrames {
public:
    FrameBuffer& Stream() { return stream_; }
    const FrameBuffer& Stream() const { return stream_; }
    // The sender's buffer, created when unknown; it becomes the most recent.
    FrameBuffer& Sender(const SenderKey& sender) { return senders_.Touch(sender); }
    const FrameBuffer* FindSender(const SenderKey& sender) const { return senders_.Find(sender); }
    std::size_t RememberedSenders() const { return senders_.Count(); }

    // True when `arriving` more bytes stay within the bound.
    bool Fits(std::size_t arriving) const { return HeldBytes() + arriving <= kReceiveBufferLimit; }

    // "Don't answer" is clear: the buffer's whole frames will be answered,
    // so they stop counting against the bound.
    void ClearForRelease(FrameBuffer& buffer);
    // Releases other senders' held frames, least recent first, until
    // `arriving` bytes from `sender` fit (or none is left to release).
    void ReleaseOthersToFit(const SenderKey& sender, std::size_t arriving);

    // After a slice of the sender's frames: whether more wait for a later
    // pass; then a sender left with nothing is forgotten, and past the limit
    // the least recent sender with it.
    void SettleSender(const SenderKey& sender, bool pending);

    bool ReleasePending() const { return stream_.ReleasePending() || !waiting_.empty(); }
    // The sender whose release began first and still waits, if any.
    std::optional<SenderKey> FirstWaitingSender();

    // Everything the stream holds goes (a new connection, or one closed).
    void ClearStream() { stream_.Clear(); }

private:
    std::size_t HeldBytes() const { return stream_.HeldBytes() + senders_.HeldBytes(); }
    std::size_t Releasing() const { return stream_.Releasing() + senders_.Releasing(); }
    void SetWaiting(const SenderKey& sender, bool waiting);

    FrameBuffer stream_;
    SenderBuffers senders_;
    std::deque<SenderKey> waiting_;  // release pending, in the order begun
};

}  // namespace tarvik
