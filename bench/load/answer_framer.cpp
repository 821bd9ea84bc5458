#include "bench/load/answer_framer.h"

namespace tarvik::bench {
namespace {

// Transaction, protocol, length: the length counts every byte after these.
constexpr std::size_t kBeforeUnit = 6;

}  // namespace

void AnswerFramer::Feed(std::string_view bytes) {
    // Consumed frames are dropped only when new bytes come, so a frame handed
    // out by Next stays valid until then.
    if (offset_ > 0) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    buffer_.append(bytes);
}

AnswerFramer::Step AnswerFramer::Next(std::string_view& frame) {
    const std::size_t available = buffer_.size() - offset_;
    switch (state_) {
        case State::Broken: return Step::BadLength;
        case State::Header: {
            if (available < kBeforeUnit) return Step::NeedMore;
            const int length = GetWord(buffer_, offset_ + 4);
            if (length < 2 || length > kMaxAnswerLength) {
                state_ = State::Broken;
                return Step::BadLength;
            }
            frameSize_ = kBeforeUnit + static_cast<std::size_t>(length);
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

void AnswerFramer::Reset() {
    buffer_.clear();
    offset_ = 0;
    state_ = State::Header;
    frameSize_ = 0;
}

}  // namespace tarvik::bench
