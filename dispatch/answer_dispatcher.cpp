#include "dispatch/answer_dispatcher.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "config/text_helpers.h"
#include "dispatch/answer_frame.h"

namespace tarvik {

namespace {

constexpr std::string_view kQueueFullText = "Answer queue full, answer dropped";

// One step of the countdown, held at the bottom of the range instead of
// wrapping: an entry that would pass it is long due anyway.
int32_t CountedDown(int32_t delay) {
    const int64_t next = int64_t{delay} - kSendTimerInterval;
    return static_cast<int32_t>(std::max<int64_t>(next, std::numeric_limits<int32_t>::min()));
}

}  // namespace

AnswerDispatcher::AnswerDispatcher(OperatorOptions& options, TraceWriter& trace,
                                   AnswerSockets& sockets, StatusRefresh& status)
    : options_(options), trace_(trace), sockets_(sockets), status_(status) {}

void AnswerDispatcher::DispatchAnswer(const MbapHeader& header, int functionByte,
                                      const Packet& answerData, bool viewDebugData) {
    Packet frame = AssembleAnswer(header, functionByte, answerData);
    if (options_.DelayAnswer()) {
        Enqueue(header, std::move(frame), viewDebugData);
    } else {
        SendPacket(frame, viewDebugData);
    }
}

void AnswerDispatcher::Enqueue(const MbapHeader& header, Packet frame, bool viewDebugData) {
    if (frame.size() > kAnswerQueueByteLimit - queuedBytes_) {
        trace_.TraceRequest(header, kQueueFullText);
        return;
    }
    cQueuedAnswer entry;
    // Read afresh for every answer: a changed text affects only later answers.
    entry.Delay = RoundHalfEvenToInt32(LeadingNumber(options_.DelayText()));
    entry.ViewDebugData = viewDebugData;
    queuedBytes_ += frame.size();
    entry.QueuedPacket = std::move(frame);
    answerQueue_.push_back(std::move(entry));
}

void AnswerDispatcher::SendPacket(const Packet& frame, bool viewDebugData) {
    HandToSocket(frame, viewDebugData);
}

bool AnswerDispatcher::HandToSocket(const Packet& frame, bool viewDebugData) {
    // The dump comes first, so a frame dropped for want of a connection still
    // shows in the trace.
    if (viewDebugData) {
        trace_.TraceRaw("->", frame);
    }

    bool accepted = false;
    if (sockets_.UdpMode()) {
        accepted = sockets_.SendUdp(frame);
    } else if (sockets_.DataState() == kStateConnected) {
        accepted = sockets_.SendData(frame);
    }

    if (accepted && packetsSent_ < std::numeric_limits<int32_t>::max()) {
        ++packetsSent_;
    }
    return accepted;
}

void AnswerDispatcher::Timer_Send_Timer() {
    // One pass in queue order: due entries are sent where they stand, the
    // others close up behind each other, so the order of those left is kept
    // and a long queue costs one sweep rather than one shift per removal.
    bool sentAny = false;
    std::size_t kept = 0;
    for (std::size_t pos = 0; pos < answerQueue_.size(); ++pos) {
        cQueuedAnswer& entry = answerQueue_[pos];
        entry.Delay = CountedDown(entry.Delay);
        if (entry.Delay > 0) {
            if (kept != pos) {
                answerQueue_[kept] = std::move(entry);
            }
            ++kept;
            continue;
        }
        // Sent, dropped or refused, the entry leaves the queue: nothing is retried.
        sentAny = HandToSocket(entry.QueuedPacket, entry.ViewDebugData) || sentAny;
        queuedBytes_ -= entry.QueuedPacket.size();
    }
    answerQueue_.erase(answerQueue_.begin() + static_cast<std::ptrdiff_t>(kept), answerQueue_.end());

    // The sent count changed: show it now rather than at the next arrival.
    if (sentAny) {
        status_.RefreshStatusBar();
    }
}

}  // namespace tarvik
