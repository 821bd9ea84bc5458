// Answer sending: each answer frame goes out at once, or waits in the
// delayed-answer queue for the operator's delay, counted down by a 100 ms tick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "dispatch/answer_sockets.h"
#include "engine/ports.h"

namespace tarvik {

inline constexpr int32_t kSendTimerInterval = 100;

// Frames waiting in the queue may hold at most this many bytes together, so a
// master flooding requests while answers are delayed cannot take all memory.
inline constexpr std::size_t kAnswerQueueByteLimit = std::size_t{64} * 1024 * 1024;

class cQueuedAnswer {
public:
    Packet QueuedPacket;        // the whole frame, as it is to be sent
    int32_t Delay = 0;          // remaining milliseconds
    bool ViewDebugData = false; // dump it raw ("->") when sent
};

class AnswerDispatcher : public AnswerDispatch {
public:
    AnswerDispatcher(OperatorOptions& options, TraceWriter& trace, AnswerSockets& sockets,
                     StatusRefresh& status);

    void DispatchAnswer(const MbapHeader& header, int functionByte, const Packet& answerData,
                        bool viewDebugData) override;

    // Dumps the frame when asked, then hands it to the socket in use.
    void SendPacket(const Packet& frame, bool viewDebugData);

    // One tick of the 100 ms send timer.
    void Timer_Send_Timer();

    const std::deque<cQueuedAnswer>& AnswerQueue() const { return answerQueue_; }
    // Bytes of all frames now in the queue.
    std::size_t QueuedBytes() const { return queuedBytes_; }
    // Frames a socket accepted since the last reset.
    int32_t PacketsSent() const { return packetsSent_; }
    void ResetPacketsSent() { packetsSent_ = 0; }

private:
    // SendPacket's work; true when a socket accepted the frame.
    bool HandToSocket(const Packet& frame, bool viewDebugData);
    void Enqueue(const MbapHeader& header, Packet frame, bool viewDebugData);

    OperatorOptions& options_;
    TraceWriter& trace_;
    AnswerSockets& sockets_;
    StatusRefresh& status_;
    std::deque<cQueuedAnswer> answerQueue_;
    std::size_t queuedBytes_ = 0;
    int32_t packetsSent_ = 0;
};

}  // namespace tarvik
