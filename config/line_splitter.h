// Reading a settings file line by line. Both settings readers go through
// this one splitter so they agree on where a line ends.
#pragma once

#include <istream>
#include <string>

namespace tarvik {

// True at the end of `file`, and also when the file can no longer be read:
// a reading loop never spins on a broken stream.
bool SafeEof(std::istream& file);

// Lines end at CR, CR LF or a lone LF, none of which belongs to the line, so
// files written on Windows and on Linux read alike. A UTF-8 byte-order mark
// at the very start is skipped, so the first line still reads as written.
// There is a last line only when characters follow the last line end.
class LineSplitter {
public:
    // `in` must be at the start of the text and outlive the splitter.
    explicit LineSplitter(std::istream& in);

    bool AtEnd() { return SafeEof(in_); }
    // The next line; the empty text at the end.
    std::string NextLine();
    // True when a read failed, as opposed to reaching the end.
    bool Failed() const { return in_.bad(); }

private:
    std::istream& in_;
};

}  // namespace tarvik
