#include "config/line_splitter.h"

namespace tarvik {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

LineSplitter::LineSplitter(std::string_view text) : text_(text) {
    if (text_.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        next_ = kUtf8Bom.size();
    }
    nextLf_ = text_.find('\n', next_);
}

std::string_view LineSplitter::NextLine() {
    if (AtEnd()) {
        return {};
    }
    // One quick search per end mark rather than a test of every character
    // against both; the next LF is remembered, so a text of many CR lines
    // and no LF is still read in one pass.
    if (nextLf_ != std::string_view::npos && nextLf_ < next_) {
        nextLf_ = text_.find('\n', next_);
    }
    const std::size_t crSearchEnd = nextLf_ == std::string_view::npos ? text_.size() : nextLf_;
    const std::size_t cr = text_.substr(0, crSearchEnd).find('\r', next_);
    const std::size_t end = cr != std::string_view::npos ? cr : nextLf_;
    if (end == std::string_view::npos) {
        const std::string_view line = text_.substr(next_);
        next_ = text_.size();
        return line;
    }
    const std::string_view line = text_.substr(next_, end - next_);
    next_ = end + 1;
    if (text_[end] == '\r' && next_ < text_.size() && text_[next_] == '\n') {
        ++next_;
    }
    return line;
}

}  // namespace tarvik
