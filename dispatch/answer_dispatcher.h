// Answer sending: each answer frame goes out at once, or waits in the
// delayed-answer queue for the operator's delay, counted down by a 100 ms
// tick. Every answer goes back where its request came from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dispatch/answer_sockets.h"
#include "dispatch/delay_queue.h"
#include "engine/ports.h"

namespace tarvik {

class AnswerDispatcher : public AnswerDispatch {
public:
    AnswerDispatcher(OperatorOptions& options, TraceWriter& trace, AnswerSockets& sockets,
                     StatusRefresh& status, std::size_t queueLimit = kAnswerQueueByteLimit);

    // Sends the answer now, or queues it with the delay text's value and the
    // route of the request being answered, while "Delay answer" is checked.
    void DispatchAnswer(const MbapHeader& header, int functionByte, const Packet& answerData,
                        bool viewDebugData) override;

    // Dumps the frame when asked, then sends it to the master whose request
    // is being answered now: the TCP data socket while it is connected, or a
    // datagram to the sender being processed.
    void SendPacket(const Packet& frame, bool viewDebugData);

    // One tick of the 100 ms send timer: the answers due in it, in the order
    // they were queued, each to its own request's master.
    void SendTick();

    const DelayQueue& AnswerQueue() const { return answerQueue_; }
    // Frames a socket accepted since the last reset.
    int32_t PacketsSent() const { return packetsSent_; }
    void ResetPacketsSent() { packetsSent_ = 0; }

private:
    // True when a socket accepted the due answer.
    bool SendDue(const QueuedAnswer& entry);
    void DumpWhenViewed(const Packet& frame, bool viewDebugData);
    // Counts an accepted frame; passes `accepted` on.
    bool Counted(bool accepted);

    OperatorOptions& options_;
    TraceWriter& trace_;
    AnswerSockets& sockets_;
    StatusRefresh& status_;
    DelayQueue answerQueue_;
    int32_t packetsSent_ = 0;
};

}  // namespace tarvik
