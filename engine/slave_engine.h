// The slave protocol engine: gathers received bytes into Modbus/TCP frames
// and answers each through the ports it was given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/packet.h"
#include "engine/ports.h"
#include "engine/register_tables.h"

namespace tarvik {

// Bytes held back (while "Don't answer" is checked, or behind a Length that
// never completes) may not grow past this, or one peer could take the
// machine's memory.
inline constexpr std::size_t kReceiveBufferLimit = std::size_t{64} * 1024 * 1024;

struct EnginePorts {
    OperatorOptions& options;
    TraceWriter& trace;
    AnswerDispatch& dispatch;
    StatusRefresh& status;
    RandomSource& random;
};

// How the bytes of one arrival came: part of a TCP stream, or one datagram.
enum class ArrivalKind { Stream, Datagram };

enum class ArrivalOutcome {
    Handled,
    // The stream's bytes would have passed kReceiveBufferLimit: the buffer was
    // emptied and the caller must close the connection.
    CloseConnection,
    // The datagram would have passed kReceiveBufferLimit and was dropped.
    DatagramDropped,
};

class SlaveEngine {
public:
    SlaveEngine(EnginePorts ports, bool simulatePAT);

    // One data arrival: dump it, append it to the buffer, answer every whole
    // frame in order, count the arrival and refresh the status bar.
    ArrivalOutcome ProcessPacket(const Packet& packet, ArrivalKind kind = ArrivalKind::Stream);

    // A new connection was accepted: the counter and the buffer start afresh.
    void ResetForNewConnection();

    RegisterTables& Registers() { return tables_; }
    const RegisterTables& Registers() const { return tables_; }
    const Packet& ReceiveBuffer() const { return receiveBuffer_; }
    int32_t PacketsReceived() const { return packetsReceived_; }
    bool SimulatePAT() const { return simulatePAT_; }

private:
    ArrivalOutcome RefuseOverflow(ArrivalKind kind);
    void CutFrames();
    void CountArrival();

    EnginePorts ports_;
    bool simulatePAT_;
    RegisterTables tables_;
    Packet receiveBuffer_;
    int32_t packetsReceived_ = 0;
};

}  // namespace tarvik
