#include "dispatch/delay_queue.h"

#include <functional>
#include <string>
#include <utility>

namespace tarvik {

namespace {

// Bytes a glibc-like allocator takes for a request of `bytes`: a size word in
// front, rounded up to its 16-byte steps, never less than its 32-byte minimum.
std::size_t AllocatorBlock(std::size_t bytes) {
    const std::size_t withHeader = (bytes + sizeof(std::size_t) + 15) / 16 * 16;
    return withHeader < 32 ? 32 : withHeader;
}

// The heap block behind a string, or nothing while its text is kept inside
// the string object itself (short texts, such as a 9-byte exception answer).
std::size_t HeapCost(const std::string& text) {
    const auto* self = reinterpret_cast<const char*>(&text);
    const char* data = text.data();
    if (std::less_equal<const char*>{}(self, data) &&
        std::less<const char*>{}(data, self + sizeof text)) {
        return 0;
    }
    return AllocatorBlock(text.capacity() + 1);
}

}  // namespace

// Two child links, a parent link and a colour word in front of key and group.
const std::size_t DelayQueue::kGroupCost =
    AllocatorBlock(4 * sizeof(void*) + sizeof(std::pair<const uint64_t, DelayQueue::Group>));

int64_t TicksUntilDue(int32_t delay) {
    if (delay <= kSendTimerInterval) {
        return 1;
    }
    return (int64_t{delay} + kSendTimerInterval - 1) / kSendTimerInterval;
}

DelayQueue::DelayQueue(std::size_t limit) : limit_(limit) {}

std::size_t DelayQueue::CostOf(const QueuedAnswer& entry) {
    return AllocatorBlock(sizeof(void*) + sizeof(QueuedAnswer)) + HeapCost(entry.QueuedPacket);
}

bool DelayQueue::Push(QueuedAnswer entry) {
    const uint64_t due = ticks_ + static_cast<uint64_t>(TicksUntilDue(entry.Delay));
    auto group = groups_.find(due);
    const std::size_t entryCost = CostOf(entry);
    const std::size_t cost = entryCost + (group == groups_.end() ? kGroupCost : 0);
    if (cost > limit_ - cost_) {
        return false;
    }
    if (group == groups_.end()) {
        group = groups_.try_emplace(due).first;
        group->second.last = group->second.answers.before_begin();
        group->second.cost = kGroupCost;
    }
    Group& into = group->second;
    into.last = into.answers.insert_after(into.last, std::move(entry));
    ++into.count;
    into.cost += entryCost;
    ++size_;
    cost_ += cost;
    return true;
}

void DelayQueue::Tick(const std::function<void(const QueuedAnswer&)>& take) {
    ++ticks_;
    // Every group lies ahead of the ticks counted, so only the first one can be due.
    if (groups_.empty() || groups_.begin()->first != ticks_) {
        return;
    }
    // Taken out whole before anything is sent: the node keeps the answers
    // alive, and whatever is queued meanwhile lands in a later group.
    const auto due = groups_.extract(groups_.begin());
    size_ -= due.mapped().count;
    cost_ -= due.mapped().cost;
    for (const QueuedAnswer& entry : due.mapped().answers) {
        take(entry);
    }
}

}  // namespace tarvik
