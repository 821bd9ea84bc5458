#include "config/line_splitter.h"

#include <array>

namespace tarvik {

namespace {

using Traits = std::istream::traits_type;

constexpr std::array<unsigned char, 3> kUtf8Bom = {0xEF, 0xBB, 0xBF};

}  // namespace

bool SafeEof(std::istream& file)
{
    if (!file.good()) {
        return true;
    }
    return Traits::eq_int_type(file.peek(), Traits::eof());
}

LineSplitter::LineSplitter(std::istream& in) : in_(in)
{
    if (in_.peek() != kUtf8Bom[0]) {
        return;
    }
    const auto start = in_.tellg();
    std::array<char, 3> head{};
    in_.read(head.data(), head.size());
    const bool isBom = in_.gcount() == 3 &&
                       static_cast<unsigned char>(head[1]) == kUtf8Bom[1] &&
                       static_cast<unsigned char>(head[2]) == kUtf8Bom[2];
    if (!isBom) {
        // Only the start of an ordinary first line: read it again.
        in_.clear();
        in_.seekg(start);
    }
}

std::string LineSplitter::NextLine()
{
    std::string line;
    for (;;) {
        const auto c = in_.get();
        if (Traits::eq_int_type(c, Traits::eof())) {
            break;
        }
        if (c == '\r') {
            if (in_.peek() == '\n') {
                in_.get();
            }
            break;
        }
        if (c == '\n') {
            break;
        }
        line += Traits::to_char_type(c);
    }
    return line;
}

}  // namespace tarvik
