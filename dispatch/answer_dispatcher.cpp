#include "dispatch/answer_dispatcher.h"

#include <limits>
#include <utility>

namespace tarvik {

namespace {

constexpr std::string_view kQueueFullText = "Answer queue full, answer dropped";

}  // namespace

AnswerDispatcher::AnswerDispatcher(TraceWriter& trace, AnswerOutlets& outlets,
                                   std::size_t queueLimit)
    : trace_(trace), outlets_(outlets), answerQueue_(queueLimit) {}

void AnswerDispatcher::CarryOut(const StepList& steps) {
    for (const Step& step : steps) {
        switch (step.kind) {
            case StepKind::Send:
                if (step.departure == Departure::Now) {
                    SendFrame(step.route, steps.Bytes(step), step.viewDebugData);
                } else {
                    Queue(steps, step);
                }
                break;
            case StepKind::Close: outlets_.Close(step.route); break;
            default: steps.WriteTrace(step, trace_); break;
        }
    }
}

void AnswerDispatcher::Queue(const StepList& steps, const Step& step) {
    QueuedAnswer entry;
    entry.QueuedPacket.assign(steps.Bytes(step));
    entry.Delay = step.delayMs;
    entry.ViewDebugData = step.viewDebugData;
    entry.Route = step.route;
    if (!answerQueue_.Push(std::move(entry))) trace_.TraceRequest(step.header, kQueueFullText);
}

bool AnswerDispatcher::SendFrame(const AnswerRoute& route, std::string_view frame,
                                 bool viewDebugData) {
    // The dump comes before the send, so a frame dropped for want of its
    // connection still shows in the trace.
    if (viewDebugData) trace_.TraceRaw("->", frame);
    const bool accepted = outlets_.Send(route, frame);
    if (accepted && packetsSent_ < std::numeric_limits<int32_t>::max()) ++packetsSent_;
    return accepted;
}

bool AnswerDispatcher::SendTick() {
    // Sent, dropped or refused, a due answer leaves the queue: nothing is retried.
    bool sentAny = false;
    answerQueue_.Tick([&](const QueuedAnswer& entry) {
        sentAny = SendFrame(entry.Route, entry.QueuedPacket, entry.ViewDebugData) || sentAny;
    });
    return sentAny;
}

}  // namespace tarvik
