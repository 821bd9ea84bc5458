#include "engine/sender_buffers.h"

namespace tarvik {

FrameBuffer& SenderBuffers::Touch(const SenderKey& sender) {
    if (auto found = index_.find(sender); found != index_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        return found->second->buffer;
    }
    order_.push_front(Entry{sender, FrameBuffer{}});
    index_.emplace(sender, order_.begin());
    return order_.front().buffer;
}

FrameBuffer* SenderBuffers::Find(const SenderKey& sender) {
    auto found = index_.find(sender);
    return found == index_.end() ? nullptr : &found->second->buffer;
}

const FrameBuffer* SenderBuffers::Find(const SenderKey& sender) const {
    auto found = index_.find(sender);
    return found == index_.end() ? nullptr : &found->second->buffer;
}

void SenderBuffers::Forget(const SenderKey& sender) {
    if (auto found = index_.find(sender); found != index_.end()) Erase(found->second);
}

std::optional<SenderKey> SenderBuffers::ForgetLeastRecent(const SenderKey& keep,
                                                          bool evenReleasing) {
    // A sender whose held frames are being answered keeps its place while
    // any other can give one up: its answers are owed.
    Order::iterator fallback = order_.end();
    for (auto it = order_.end(); it != order_.begin();) {
        --it;
        if (it->key == keep) continue;
        if (!it->buffer.ReleasePending()) {
            SenderKey gone = it->key;
            Erase(it);
            return gone;
        }
        if (fallback == order_.end()) fallback = it;
    }
    if (!evenReleasing || fallback == order_.end()) return std::nullopt;
    SenderKey gone = fallback->key;
    Erase(fallback);
    return gone;
}

void SenderBuffers::VisitLeastRecentFirst(
    const std::function<bool(const SenderKey&, FrameBuffer&)>& visit) {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        if (!visit(it->key, it->buffer)) return;
    }
}

std::size_t SenderBuffers::HeldBytes() const {
    std::size_t total = 0;
    for (const Entry& entry : order_) total += entry.buffer.HeldBytes();
    return total;
}

std::size_t SenderBuffers::Releasing() const {
    std::size_t total = 0;
    for (const Entry& entry : order_) total += entry.buffer.Releasing();
    return total;
}

void SenderBuffers::Erase(Order::iterator at) {
    index_.erase(at->key);
    order_.erase(at);
}

}  // namespace tarvik
