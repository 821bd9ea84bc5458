#include "testkit/mbap_framer.h"

namespace tarvik::testing {

void MbapFramer::Feed(std::string_view bytes) {
    // Consumed frames are dropped only when new bytes come, so a frame handed
    // out by Next stays valid until then.
    if (offset_ > 0) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    buffer_.append(bytes);
}

MbapFramer::Step MbapFramer::Next(std::string_view& frame) {
    const std::size_t available = buffer_.size() - offset_;
    switch (state_) {
        case State::Broken: return Step::BadLength;
        case State::Header: {
            if (available < kMbapPrefix) return Step::NeedMore;
            const std::size_t size = FrameSize(std::string_view(buffer_).substr(offset_));
            if (size < kMbapPrefix + 2 || size > kMbapPrefix + maxLength_) {
                state_ = State::Broken;
                return Step::BadLength;
            }
            frameSize_ = size;
            state_ = State::Body;
            [[fallthrough]];
        }
        case State::Body:
            if (available < frameSize_) return Step::NeedMore;
            frame = std::string_view(buffer_).substr(offset_, frameSize_);
            offset_ += frameSize_;
            state_ = State::Header;
            return Step::Frame;
    }
    return Step::NeedMore;
}

void MbapFramer::Reset() {
    buffer_.clear();
    offset_ = 0;
    state_ = State::Header;
    frameSize_ = 0;
}

}  // namespace tarvik::testing
