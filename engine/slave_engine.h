// The slave protocol engine: gathers received bytes into Modbus/TCP frames
// and answers each through the ports it was given. A TCP stream has one
// receive buffer; every UDP sender has its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

#include "engine/frame_buffer.h"
#include "engine/frame_loop.h"
#include "engine/packet.h"
#include "engine/ports.h"
#include "engine/register_tables.h"
#include "engine/sender_buffers.h"
#include "engine/sender_key.h"

namespace tarvik {

struct EnginePorts {
    OperatorOptions& options;
    TraceWriter& trace;
    AnswerDispatch& dispatch;
    StatusRefresh& status;
    RandomSource& random;
};

enum class ArrivalOutcome {
    Handled,
    // Whole frames wait behind the slice limit: call ContinueRelease on a
    // later pass of the event loop.
    MoreToRelease,
    // The stream's bytes would have passed kReceiveBufferLimit: the stream
    // buffer was emptied and the caller must close the connection.
    CloseConnection,
    // The datagram would have passed kReceiveBufferLimit and was dropped.
    // The sender's held frames may still be releasing: see ReleasePending.
    DatagramDropped,
};

class SlaveEngine {
public:
    // standardWriteAnswer: function 16 is answered with start and quantity
    // only, as standard masters expect, instead of the whole request.
    SlaveEngine(EnginePorts ports, bool simulatePAT, bool standardWriteAnswer = false);

    // Bytes of the TCP stream: dump them, append them to the stream buffer,
    // answer its whole frames in order (one slice), count the arrival and
    // refresh the status bar.
    ArrivalOutcome ProcessPacket(const Packet& packet);

    // One datagram: the same, with the sender's own buffer. Answers are
    // handed on while CurrentSender() names `sender`.
    ArrivalOutcome ProcessDatagram(const Packet& packet, const SenderKey& sender);

    // The next slice of frames left waiting by the slice limit: the stream
    // first, then each waiting sender in turn, in the order they began.
    // Not an arrival: no dump, not counted; the status bar is refreshed.
    ArrivalOutcome ContinueRelease();
    bool ReleasePending() const;

    // While frames are answered: the sender they came from; empty for the
    // stream and between calls.
    const SenderKey& CurrentSender() const { return current_; }

    // A connection was accepted: the counter and the stream buffer start
    // afresh, and the stream's release ends.
    void ResetForNewConnection();
    // An outgoing connection was established: the stream buffer (held
    // frames included) is emptied; the counter goes on.
    void ClearStreamBuffer();

    RegisterTables& Registers() { return tables_; }
    const RegisterTables& Registers() const { return tables_; }
    std::string_view ReceiveBuffer() const { return stream_.View(); }
    // A sender's bytes not yet cut into frames; empty for one not remembered.
    std::string_view ReceiveBuffer(const SenderKey& sender) const;
    std::size_t RememberedSenders() const { return senders_.Count(); }
    int32_t PacketsReceived() const { return packetsReceived_; }
    bool SimulatePAT() const { return simulatePAT_; }

private:
    void DumpArrival(const Packet& packet);
    std::size_t HeldBytes() const;
    std::size_t Releasing() const;
    void ClearForRelease(FrameBuffer& buffer);
    std::size_t ReleaseOthersToFit(const SenderKey& sender, std::size_t held, std::size_t arriving);
    void TraceOverflow(const FrameBuffer& buffer, std::string_view text);
    void ReleaseSlice(FrameBuffer& buffer);
    void ReleaseSenderSlice(const SenderKey& sender, FrameBuffer& buffer);
    void SetSenderPending(const SenderKey& sender, FrameBuffer& buffer, bool pending);
    void SettleSender(const SenderKey& sender);
    void CountArrival();
    ArrivalOutcome Outcome(ArrivalOutcome taken) const;

    EnginePorts ports_;
    bool simulatePAT_;
    bool standardWriteAnswer_;
    RegisterTables tables_;
    AnswerMeter meter_;
    FrameBuffer stream_;
    SenderBuffers senders_;
    std::deque<SenderKey> waitingSenders_;  // release pending, in the order begun
    SenderKey current_;
    int32_t packetsReceived_ = 0;
};

}  // namespace tarvik
