#include "bench/load/request_frames.h"

#include <algorithm>
#include <array>

namespace tarvik::bench {
namespace {

void AppendHeader(Packet& frame, int transactionId, int pduSize, int unit) {
    AppendWord(frame, transactionId & 0xFFFF);
    AppendWord(frame, 0);
    AppendWord(frame, pduSize + 1);
    frame.push_back(static_cast<char>(unit & 0xFF));
}

}  // namespace

int32_t PrimedValue(int address) {
    // Distinct for neighbours and never 0, so a table that was never primed
    // does not pass for one that was.
    return static_cast<int32_t>((static_cast<uint32_t>(address) * 40503u + 0x2B1Du) & 0xFFFFu) | 1;
}

int32_t WrittenValue(int address, uint64_t sequence) {
    return static_cast<int32_t>((static_cast<uint64_t>(address) * 257u + sequence * 7919u) &
                                0xFFFFu);
}

Packet BuildRequest(const RequestShape& shape, int transactionId, uint64_t sequence) {
    Packet frame;
    switch (shape.function) {
        case 6:
            AppendHeader(frame, transactionId, 5, shape.unit);
            frame.push_back(6);
            AppendWord(frame, shape.start);
            AppendWord(frame, WrittenValue(shape.start, sequence));
            return frame;
        case 16: {
            std::array<int32_t, kMaxWriteQuantity> values{};
            const int quantity = std::min(shape.quantity, kMaxWriteQuantity);
            for (int i = 0; i < quantity; ++i) {
                values[static_cast<std::size_t>(i)] = WrittenValue(shape.start + i, sequence);
            }
            const std::span<const int32_t> written(values.data(),
                                                   static_cast<std::size_t>(quantity));
            return BuildWriteRequest(transactionId, shape.unit, shape.start, written);
        }
        default:  // 3 and 4
            AppendHeader(frame, transactionId, 5, shape.unit);
            frame.push_back(static_cast<char>(shape.function));
            AppendWord(frame, shape.start);
            AppendWord(frame, shape.quantity);
            return frame;
    }
}

Packet BuildWriteRequest(int transactionId, int unit, int start, std::span<const int32_t> values) {
    const int count = static_cast<int>(values.size());
    Packet frame;
    frame.reserve(13 + 2 * values.size());
    AppendHeader(frame, transactionId, 6 + 2 * count, unit);
    frame.push_back(16);
    AppendWord(frame, start);
    AppendWord(frame, count);
    frame.push_back(static_cast<char>(2 * count));
    for (int32_t value : values) AppendWord(frame, value);
    return frame;
}

}  // namespace tarvik::bench
