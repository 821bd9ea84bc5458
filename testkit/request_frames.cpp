#include "testkit/request_frames.h"

namespace tarvik::testing {

void AppendMbapHeader(Packet& frame, int transaction, int unit, std::size_t pduSize) {
    AppendWord(frame, transaction & 0xFFFF);
    AppendWord(frame, 0);
    AppendWord(frame, static_cast<int32_t>(pduSize + 1));
    frame.push_back(static_cast<char>(unit & 0xFF));
}

Packet Frame(int transaction, int unit, std::string_view pdu) {
    Packet frame;
    frame.reserve(7 + pdu.size());
    AppendMbapHeader(frame, transaction, unit, pdu.size());
    frame.append(pdu);
    return frame;
}

// Built in place: the benches make millions of these.
Packet ReadRequest(int transaction, int function, int start, int quantity, int unit) {
    Packet frame;
    AppendMbapHeader(frame, transaction, unit, 5);
    frame.push_back(static_cast<char>(function & 0xFF));
    AppendWord(frame, start);
    AppendWord(frame, quantity);
    return frame;
}

Packet WriteSingleRequest(int transaction, int address, int value, int unit) {
    return ReadRequest(transaction, 6, address, value, unit);  // the same five-byte layout
}

Packet WriteMultipleRequest(int transaction, int start, std::string_view words, int unit) {
    const int count = static_cast<int>(words.size());
    Packet frame;
    frame.reserve(13 + words.size());
    AppendMbapHeader(frame, transaction, unit, 6 + words.size());
    frame.push_back(16);
    AppendWord(frame, start);
    AppendWord(frame, count / 2);
    frame.push_back(static_cast<char>(count & 0xFF));
    frame.append(words);
    return frame;
}

Packet WriteValuesRequest(int transaction, int start, std::span<const int32_t> values, int unit) {
    const std::size_t count = values.size();
    Packet frame;
    frame.reserve(13 + 2 * count);
    AppendMbapHeader(frame, transaction, unit, 6 + 2 * count);
    frame.push_back(16);
    AppendWord(frame, start);
    AppendWord(frame, static_cast<int32_t>(count));
    frame.push_back(static_cast<char>((2 * count) & 0xFF));
    for (const int32_t value : values) AppendWord(frame, value);
    return frame;
}

}  // namespace tarvik::testing
