// The delayed-answer queue. Answers wait in groups by the tick in which they
// fall due, each group in the order its answers were queued, so a tick touches
// only the answers it sends, however many wait behind them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <forward_list>
#include <functional>
#include <map>

#include "engine/answer_route.h"
#include "engine/packet.h"

namespace tarvik {

// Milliseconds between two ticks of the send timer.
inline constexpr int32_t kSendTimerInterval = 100;

// Memory the waiting answers may hold together, frames and the queue's own
// bookkeeping alike, so a master flooding requests while answers are delayed
// cannot take all memory.
inline constexpr std::size_t kAnswerQueueByteLimit = std::size_t{64} * 1024 * 1024;

// One delayed answer waiting for its tick.
class QueuedAnswer {
public:
    Packet QueuedPacket;         // the whole frame, as it is to be sent
    int32_t Delay = 0;           // milliseconds it was queued with
    bool ViewDebugData = false;  // dump it raw ("->") when it falls due
    AnswerRoute Route;           // the connection or the sender of its request
};

// How many ticks after queueing an answer with `delay` falls due: the delay
// is lowered by the interval at every tick and the answer is due once it is 0
// or less, so 200 goes on the 2nd tick, 250 on the 3rd, 0 or less on the 1st.
int64_t TicksUntilDue(int32_t delay);

class DelayQueue {
public:
    explicit DelayQueue(std::size_t limit = kAnswerQueueByteLimit);
    DelayQueue(const DelayQueue&) = delete;
    DelayQueue& operator=(const DelayQueue&) = delete;

    // Memory one waiting answer holds, as a glibc-like allocator hands it
    // out: its list node, and the heap block behind its frame (none while
    // the frame fits inside its string).
    static std::size_t CostOf(const QueuedAnswer& entry);
    // A tick's group: its tree node, on top of the answers in it.
    static const std::size_t kGroupCost;

    // Queues the answer behind those that fall due in the same tick. False,
    // and nothing kept, when its cost would take the queue past the limit.
    bool Push(QueuedAnswer entry);

    // Counts one tick and hands each answer due in it to `take`, in the order
    // they were queued. They have left the queue (and its cost) by then.
    void Tick(const std::function<void(const QueuedAnswer&)>& take);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Memory counted against the limit now.
    std::size_t Cost() const { return cost_; }

    // Every waiting answer, in the order the ticks will send them.
    template <class Visit>
    void ForEach(Visit visit) const {
        for (const auto& [due, group] : groups_) {
            for (const QueuedAnswer& entry : group.answers) visit(entry);
        }
    }

private:
    // A singly linked list: one allocation per answer, nothing wasted in
    // half-filled blocks, and freed without walking anything else.
    struct Group {
        std::forward_list<QueuedAnswer> answers;
        std::forward_list<QueuedAnswer>::iterator last;  // where the next one goes
        std::size_t count = 0;
        std::size_t cost = 0;  // the answers' and the group's own
    };

    std::map<uint64_t, Group> groups_;  // by the number of the tick they fall due in
    uint64_t ticks_ = 0;                // ticks counted so far
    std::size_t size_ = 0;
    std::size_t cost_ = 0;
    std::size_t limit_;
};

}  // namespace tarvik
