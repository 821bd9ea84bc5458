// Answer sending: the steps of an arrival carried out in order. Trace
// records go to the trace; an answer goes out at once, or waits in the
// delayed-answer queue for its delay, counted down by a 100 ms tick; a close
// closes. Every answer goes back by the route its request came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dispatch/answer_outlets.h"
#include "dispatch/delay_queue.h"
#include "engine/steps.h"
#include "engine/trace_writer.h"

namespace tarvik {

class AnswerDispatcher {
public:
    AnswerDispatcher(TraceWriter& trace, AnswerOutlets& outlets,
                     std::size_t queueLimit = kAnswerQueueByteLimit);

    void CarryOut(const StepList& steps);

    // One tick of the 100 ms send timer: the answers due in it, in the order
    // they were queued, each by its own route. True when a socket accepted
    // any of them.
    bool SendTick();

    const DelayQueue& AnswerQueue() const { return answerQueue_; }
    // Frames a socket accepted since the last reset.
    int32_t PacketsSent() const { return packetsSent_; }
    void ResetPacketsSent() { packetsSent_ = 0; }

private:
    void Send(const Step& step, std::string_view frame);
    void Queue(const StepList& steps, const Step& step);
    // Dumps the frame ("->") when asked, then hands it to its route.
    bool SendFrame(const AnswerRoute& route, std::string_view frame, bool viewDebugData);

    TraceWriter& trace_;
    AnswerOutlets& outlets_;
    DelayQueue answerQueue_;
    int32_t packetsSent_ = 0;
};

}  // namespace tarvik
