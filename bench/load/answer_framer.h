// Cuts a stream of answer bytes into whole Modbus/TCP frames by the length
// field alone: the function byte of a broken answer cannot be trusted to say
// how long it is.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::bench {

// The longest answer any request of the load generator can earn: a read of
// 127 registers (unit, function, byte count, 254 data bytes) is 257.
inline constexpr int kMaxAnswerLength = 300;

class AnswerFramer {
public:
    enum class Step { Frame, NeedMore, BadLength };

    void Feed(std::string_view bytes);

    // Frame: `frame` is the next whole frame (header included), valid until
    // the next Feed or Next. NeedMore: no whole frame is buffered.
    // BadLength: the length field is below 2 or above kMaxAnswerLength; the
    // stream is out of step and stays so until Reset.
    Step Next(std::string_view& frame);

    // Forgets every buffered byte (a new datagram, a new connection).
    void Reset();

    std::size_t Buffered() const { return buffer_.size() - offset_; }

private:
    enum class State { Header, Body, Broken };

    Packet buffer_;
    std::size_t offset_ = 0;  // start of the frame being gathered
    State state_ = State::Header;
    std::size_t frameSize_ = 0;  // known once the header is in
};

}  // namespace tarvik::bench
