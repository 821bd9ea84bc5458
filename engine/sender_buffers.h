// The receive buffers of the UDP senders: one each, so one sender's cut
// frame never swallows another's requests, and only as many as fit a bound,
// the sender heard from least recently forgotten first.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <optional>

#include "engine/answer_route.h"
#include "engine/frame_buffer.h"

namespace tarvik {

class SenderBuffers {
public:
    // Senders whose bytes are remembered at once; a sender with an empty
    // buffer should be forgotten so it takes no place.
    static constexpr std::size_t kMaxSenders = 256;

    // The sender's buffer, created empty when unknown; the sender becomes
    // the one heard from most recently. The reference stays valid until the
    // sender is forgotten.
    FrameBuffer& Touch(const SenderKey& sender);
    FrameBuffer* Find(const SenderKey& sender);
    const FrameBuffer* Find(const SenderKey& sender) const;
    void Forget(const SenderKey& sender);

    // Forgets the sender heard from least recently, other than `keep`, whose
    // release is not pending; with none such, when `evenReleasing`, the least
    // recent other than `keep`. Returns whom it forgot.
    std::optional<SenderKey> ForgetLeastRecent(const SenderKey& keep, bool evenReleasing);

    // Visits senders from the least recently heard on until `visit` says stop.
    void VisitLeastRecentFirst(const std::function<bool(const SenderKey&, FrameBuffer&)>& visit);

    std::size_t Count() const { return order_.size(); }
    std::size_t HeldBytes() const;  // bytes that count against the bound
    std::size_t Releasing() const;  // bytes cleared for release

private:
    struct Entry {
        SenderKey key;
        FrameBuffer buffer;
    };
    using Order = std::list<Entry>;  // most recently heard first

    void Erase(Order::iterator at);

    Order order_;
    std::map<SenderKey, Order::iterator> index_;
};

}  // namespace tarvik
