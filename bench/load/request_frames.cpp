#include "bench/load/request_frames.h"

#include <algorithm>
#include <array>
#include <span>

#include "testkit/request_frames.h"

namespace tarvik::bench {

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
    switch (shape.function) {
        case 6:
            return testing::WriteSingleRequest(transactionId, shape.start,
                                               WrittenValue(shape.start, sequence), shape.unit);
        case 16: {
            std::array<int32_t, kMaxWriteQuantity> values{};
            const int quantity = std::min(shape.quantity, kMaxWriteQuantity);
            for (int i = 0; i < quantity; ++i) {
                values[static_cast<std::size_t>(i)] = WrittenValue(shape.start + i, sequence);
            }
            const std::span<const int32_t> written(values.data(),
                                                   static_cast<std::size_t>(quantity));
            return testing::WriteValuesRequest(transactionId, shape.start, written, shape.unit);
        }
        default:  // 3 and 4
            return testing::ReadRequest(transactionId, shape.function, shape.start, shape.quantity,
                                        shape.unit);
    }
}

}  // namespace tarvik::bench
