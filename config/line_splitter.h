// Cutting settings text into lines. Both settings readers go through this
// one splitter so they agree on where a line ends.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvik {

// Lines end at CR, CR LF or a lone LF, none of which belongs to the line, so
// files written on Windows and on Linux read alike. A UTF-8 byte-order mark
// at the very start is skipped, so the first line still reads as written.
// There is a last line only when characters follow the last line end.
class LineSplitter {
public:
    // `text` must outlive the splitter and the lines it hands out.
    explicit LineSplitter(std::string_view text);

    bool AtEnd() const { return next_ >= text_.size(); }
    // The next line; the empty text at the end.
    std::string_view NextLine();

private:
    std::string_view text_;
    std::size_t next_ = 0;
    std::size_t nextLf_ = 0;  // first LF at or after next_ once refreshed, or npos
};

}  // namespace tarvik
