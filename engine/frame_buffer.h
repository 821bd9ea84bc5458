// One receive buffer: the bytes of one stream or one UDP sender that are not
// yet cut into frames, and how far their release has come.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/mbap_header.h"
#include "engine/packet.h"

namespace tarvik {

// Bytes held back (while "Don't answer" is checked, or behind a Length that
// never completes) may not grow past this, all buffers together, or one peer
// could take the machine's memory. Held frames cleared for release no longer
// count: they are being answered.
inline constexpr std::size_t kReceiveBufferLimit = std::size_t{64} * 1024 * 1024;

inline constexpr std::size_t kHeaderSize = 7;
// The Length field counts the bytes after it: a frame is 6 + Length bytes.
inline constexpr std::size_t kBytesBeforeUnit = 6;

// The header of the frame that starts at `at`; seven bytes must be there.
MbapHeader DecodeHeader(std::string_view bytes, std::size_t at);

// Bytes are appended at the back and cut from the front. Cutting moves a read
// position rather than the bytes, so a large hold released slice by slice
// costs time linear in its size.
class FrameBuffer {
public:
    std::size_t size() const { return bytes_.size() - head_; }
    bool empty() const { return size() == 0; }
    std::string_view View() const { return std::string_view(bytes_).substr(head_); }

    void Append(std::string_view bytes);
    // Drops `count` bytes from the front; they end on a frame boundary.
    void Consume(std::size_t count);
    // Empties the buffer, gives its memory back and ends any release.
    void Clear();

    // Bytes at the front that form whole frames, cut the way the frame loop
    // cuts them. Scanned lazily, each byte once.
    std::size_t WholeFrameBytes();

    // Of those whole frames, the ones cleared for release: they are being
    // answered and no longer count against the receive bound.
    std::size_t Releasing() const { return releasing_; }
    void SetReleasing(std::size_t bytes) { releasing_ = bytes; }
    // The bytes that count against the bound.
    std::size_t HeldBytes() const { return size() - releasing_; }

    // Whole frames were left for a later pass by the slice limit.
    bool ReleasePending() const { return releasePending_; }
    void SetReleasePending(bool pending);

private:
    Packet bytes_;
    std::size_t head_ = 0;
    std::size_t whole_ = 0;  // bytes from head_ known to form whole frames
    std::size_t releasing_ = 0;
    bool releasePending_ = false;
};

}  // namespace tarvik
