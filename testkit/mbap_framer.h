// Cuts a stream of Modbus/TCP bytes into whole frames by the length field
// alone: the function byte of a broken frame cannot be trusted to say how
// long it is.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::testing {

// Transaction, protocol, length: the length counts every byte after these.
inline constexpr std::size_t kMbapPrefix = 6;

// The big-endian word at `pos`; both bytes must lie inside `bytes`.
inline int WordAt(std::string_view bytes, std::size_t pos) {
    return 256 * static_cast<unsigned char>(bytes[pos]) +
           static_cast<unsigned char>(bytes[pos + 1]);
}

// The size of the whole frame that `prefix` (at least kMbapPrefix bytes)
// begins.
inline std::size_t FrameSize(std::string_view prefix) {
    return kMbapPrefix + static_cast<std::size_t>(WordAt(prefix, 4));
}

class MbapFramer {
public:
    enum class Step { Frame, NeedMore, BadLength };

    // A length field above `maxLength` (or below 2: unit and function) puts
    // the stream out of step.
    explicit MbapFramer(std::size_t maxLength = 0xFFFF) : maxLength_(maxLength) {}

    void Feed(std::string_view bytes);

    // Frame: `frame` is the next whole frame (header included), valid until
    // the next Feed or Next. NeedMore: no whole frame is buffered.
    // BadLength: the length field is out of range; the stream is out of step
    // and stays so until Reset.
    Step Next(std::string_view& frame);

    // Forgets every buffered byte (a new datagram, a new connection).
    void Reset();

    std::size_t Buffered() const { return buffer_.size() - offset_; }

private:
    enum class State { Header, Body, Broken };

    std::size_t maxLength_;
    Packet buffer_;
    std::size_t offset_ = 0;  // start of the frame being gathered
    State state_ = State::Header;
    std::size_t frameSize_ = 0;  // known once the header is in
};

}  // namespace tarvik::testing
