#include "dispatch/answer_dispatcher.h"

#include <limits>
#include <string_view>
#include <utility>

#include "config/text_helpers.h"
#include "dispatch/answer_frame.h"
#include "dispatch/socket_state.h"

namespace tarvik {

namespace {

constexpr std::string_view kQueueFullText = "Answer queue full, answer dropped";

}  // namespace

AnswerDispatcher::AnswerDispatcher(OperatorOptions& options, TraceWriter& trace,
                                   AnswerSockets& sockets, StatusRefresh& status,
                                   std::size_t queueLimit)
    : options_(options),
      trace_(trace),
      sockets_(sockets),
      status_(status),
      answerQueue_(queueLimit) {}

void AnswerDispatcher::DispatchAnswer(const MbapHeader& header, int functionByte,
                                      const Packet& answerData, bool viewDebugData) {
    Packet frame = AssembleAnswer(header, functionByte, answerData);
    if (!options_.DelayAnswer()) {
        SendPacket(frame, viewDebugData);
        return;
    }
    QueuedAnswer entry;
    entry.QueuedPacket = std::move(frame);
    // Read afresh for every answer: a changed text affects only later answers.
    entry.Delay = RoundHalfEvenToInt32(LeadingNumber(options_.DelayText()));
    entry.ViewDebugData = viewDebugData;
    entry.Route = sockets_.CurrentRoute();
    if (!answerQueue_.Push(std::move(entry))) {
        trace_.TraceRequest(header, kQueueFullText);
    }
}

void AnswerDispatcher::SendPacket(const Packet& frame, bool viewDebugData) {
    DumpWhenViewed(frame, viewDebugData);
    if (sockets_.UdpMode()) {
        const AnswerRoute sender = sockets_.CurrentRoute();
        Counted(sockets_.SendUdp(frame, sender.udpHost, sender.udpPort));
    } else if (sockets_.DataState() == SocketState::Connected) {
        Counted(sockets_.SendData(frame));
    }
}

bool AnswerDispatcher::SendDue(const QueuedAnswer& entry) {
    DumpWhenViewed(entry.QueuedPacket, entry.ViewDebugData);
    if (sockets_.UdpMode()) {
        return Counted(
            sockets_.SendUdp(entry.QueuedPacket, entry.Route.udpHost, entry.Route.udpPort));
    }
    // The data socket is reused by every master: an answer whose connection
    // has gone, even to the same master coming back, would answer a request
    // the connection now in use never sent.
    if (sockets_.DataState() == SocketState::Connected &&
        sockets_.DataConnection() == entry.Route.connection) {
        return Counted(sockets_.SendData(entry.QueuedPacket));
    }
    return false;
}

void AnswerDispatcher::DumpWhenViewed(const Packet& frame, bool viewDebugData) {
    // The dump comes before the send, so a frame dropped for want of its
    // connection still shows in the trace.
    if (viewDebugData) {
        trace_.TraceRaw("->", frame);
    }
}

bool AnswerDispatcher::Counted(bool accepted) {
    if (accepted && packetsSent_ < std::numeric_limits<int32_t>::max()) {
        ++packetsSent_;
    }
    return accepted;
}

void AnswerDispatcher::SendTick() {
    // Sent, dropped or refused, a due answer leaves the queue: nothing is retried.
    bool sentAny = false;
    answerQueue_.Tick([&](const QueuedAnswer& entry) { sentAny = SendDue(entry) || sentAny; });
    // The sent count changed: show it now rather than at the next arrival.
    if (sentAny) {
        status_.RefreshStatusBar();
    }
}

}  // namespace tarvik
