#include "engine/slave_engine.h"

#include "engine/function_handlers.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

constexpr std::size_t kHeaderSize = 7;
// The Length field counts the bytes after it: a frame is 6 + Length bytes.
constexpr std::size_t kBytesBeforeUnit = 6;

MbapHeader DecodeHeader(const Packet& buffer, std::size_t at) {
    MbapHeader header;
    header.TransactionIdentifier = GetWord(buffer, at);
    header.ProtocolIdentifier = GetWord(buffer, at + 2);
    header.Length = GetWord(buffer, at + 4);
    header.UnitIdentifier = GetByte(buffer, at + 6);
    return header;
}

}  // namespace

SlaveEngine::SlaveEngine(EnginePorts ports, bool simulatePAT)
    : ports_(ports), simulatePAT_(simulatePAT) {}

ArrivalOutcome SlaveEngine::ProcessPacket(const Packet& packet, ArrivalKind kind) {
    if (ports_.options.ShowRawData()) ports_.trace.TraceRaw("<-", packet);

    ArrivalOutcome outcome = ArrivalOutcome::Handled;
    if (receiveBuffer_.size() + packet.size() > kReceiveBufferLimit) {
        outcome = RefuseOverflow(kind);
    } else {
        receiveBuffer_ += packet;
        CutFrames();
    }

    CountArrival();
    ports_.status.RefreshStatusBar();
    return outcome;
}

void SlaveEngine::ResetForNewConnection() {
    packetsReceived_ = 0;
    receiveBuffer_.clear();
    receiveBuffer_.shrink_to_fit();
}

ArrivalOutcome SlaveEngine::RefuseOverflow(ArrivalKind kind) {
    MbapHeader header;
    if (receiveBuffer_.size() >= 2) header.TransactionIdentifier = GetWord(receiveBuffer_, 0);
    if (kind == ArrivalKind::Datagram) {
        ports_.trace.TraceRequest(header, "Receive buffer over 64 MiB, datagram dropped");
        return ArrivalOutcome::DatagramDropped;
    }
    ports_.trace.TraceRequest(header, "Receive buffer over 64 MiB, connection closed");
    receiveBuffer_.clear();
    receiveBuffer_.shrink_to_fit();
    return ArrivalOutcome::CloseConnection;
}

void SlaveEngine::CutFrames() {
    HandlerContext ctx{ports_.options, ports_.trace, ports_.dispatch, ports_.random, tables_,
                       simulatePAT_};
    // Frames are consumed by offset and the buffer compacted once, so a packet
    // of many frames costs linear time.
    std::size_t offset = 0;
    while (receiveBuffer_.size() - offset >= kHeaderSize) {
        const MbapHeader header = DecodeHeader(receiveBuffer_, offset);
        if (header.Length == 1) {
            // Written before the hold-back test: while "Don't answer" keeps such
            // a frame at the front, every arrival writes it again.
            ports_.trace.TraceRequest(header, "Empty packet, ProtocolIdentifier " +
                                                  Hex4(header.ProtocolIdentifier));
        }
        if (ports_.options.DontAnswer()) break;
        const std::size_t frameSize = kBytesBeforeUnit + static_cast<std::size_t>(header.Length);
        if (receiveBuffer_.size() - offset < frameSize) break;

        if (header.Length > 1) {
            const Packet pdu = receiveBuffer_.substr(offset + kHeaderSize, frameSize - kHeaderSize);
            switch (GetByte(pdu, 0)) {
                case 1:
                case 2:
                    break;  // read coils / discrete inputs: never answered
                case 3: ReadHoldingRegisters(ctx, header, pdu); break;
                case 4: ReadInputRegisters(ctx, header, pdu); break;
                case 5: WriteSingleCoil(ctx, header, pdu); break;
                case 6: WriteSingleRegister(ctx, header, pdu); break;
                case 15: WriteMultipleCoils(ctx, header, pdu); break;
                case 16: WriteMultipleRegisters(ctx, header, pdu); break;
                default: AnswerUnsupportedFunction(ctx, header); break;
            }
        }
        offset += frameSize;
    }
    receiveBuffer_.erase(0, offset);
}

void SlaveEngine::CountArrival() {
    // Wraps like the 32-bit counter it is instead of overflowing.
    packetsReceived_ = static_cast<int32_t>(static_cast<uint32_t>(packetsReceived_) + 1u);
}

}  // namespace tarvik
