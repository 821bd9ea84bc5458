#include "engine/frame_buffer.h"

namespace tarvik {
namespace {

// An emptied buffer keeps this much memory for the next arrivals; a larger
// one (left by a released hold) gives it back.
constexpr std::size_t kKeptCapacity = std::size_t{1} << 20;
// A hold at the bound, and the arrival that releases it.
constexpr std::size_t kLargeBufferRoom = kReceiveBufferLimit + 64 * 1024;

int ByteAt(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

int32_t WordAt(std::string_view bytes, std::size_t at) {
    return 256 * ByteAt(bytes, at) + ByteAt(bytes, at + 1);
}

}  // namespace

MbapHeader DecodeHeader(std::string_view bytes, std::size_t at) {
    MbapHeader header;
    header.TransactionIdentifier = WordAt(bytes, at);
    header.ProtocolIdentifier = WordAt(bytes, at + 2);
    header.Length = WordAt(bytes, at + 4);
    header.UnitIdentifier = ByteAt(bytes, at + 6);
    return header;
}

void FrameBuffer::Append(std::string_view packet) {
    // Move the live bytes down once the cut ones outnumber them: each byte
    // is moved at most about once.
    if (head_ > 0 && head_ >= size()) {
        bytes_.erase(0, head_);
        head_ = 0;
    }
    // A buffer that outgrows the kept size takes room for a whole bound at
    // once. Growing by doubling would copy a large hold into a new block
    // just when the request that releases it arrives, and for that moment
    // hold it twice; room reserved but not yet written costs no memory.
    const std::size_t needed = bytes_.size() + packet.size();
    if (needed > bytes_.capacity() && needed > kKeptCapacity && needed <= kLargeBufferRoom) {
        bytes_.reserve(kLargeBufferRoom);
    }
    bytes_ += packet;
}

void FrameBuffer::Consume(std::size_t count) {
    head_ += count;
    whole_ = count < whole_ ? whole_ - count : 0;
    releasing_ = count < releasing_ ? releasing_ - count : 0;
    if (head_ == bytes_.size()) {
        bytes_.clear();
        head_ = 0;
        if (bytes_.capacity() > kKeptCapacity) bytes_.shrink_to_fit();
    }
}

void FrameBuffer::Clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    head_ = 0;
    whole_ = 0;
    releasing_ = 0;
    releasePending_ = false;
}

std::size_t FrameBuffer::WholeFrameBytes() {
    const std::string_view bytes = View();
    while (bytes.size() - whole_ >= kHeaderSize) {
        const std::size_t frameSize =
            kBytesBeforeUnit + static_cast<std::size_t>(WordAt(bytes, whole_ + 4));
        if (bytes.size() - whole_ < frameSize) break;
        whole_ += frameSize;
    }
    return whole_;
}

void FrameBuffer::SetReleasePending(bool pending) {
    releasePending_ = pending;
    // A release that ended (all cut, or held again) clears nothing more.
    if (!pending) releasing_ = 0;
}

}  // namespace tarvik
