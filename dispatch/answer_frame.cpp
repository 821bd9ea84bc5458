#include "dispatch/answer_frame.h"

namespace tarvik {

Packet AssembleAnswer(const MbapHeader& header, int functionByte, const Packet& answerData) {
    // The engine's longest answer (the echo of a full Write Multiple Registers
    // request) is 65533 data bytes, so the length word always fits.
    const auto length = static_cast<int32_t>(answerData.size() + 2);

    Packet frame;
    frame.reserve(8 + answerData.size());
    AppendWord(frame, header.TransactionIdentifier);
    AppendWord(frame, header.ProtocolIdentifier);
    AppendWord(frame, length);
    frame.push_back(static_cast<char>(header.UnitIdentifier & 0xFF));
    frame.push_back(static_cast<char>(functionByte & 0xFF));
    frame.append(answerData);
    return frame;
}

}  // namespace tarvik
