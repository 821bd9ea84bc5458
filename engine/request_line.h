// The request line of a frame: the one text both a function's handler and a
// fault rule that answers in its place trace for it.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/operator_options.h"

namespace tarvik {

// A short trace text made on the stack, so the texts of every frame cost no
// allocation; the trace copies what it keeps. Cut at 96 characters.
class ShortText {
public:
    ShortText& operator<<(std::string_view part) {
        const std::size_t take = std::min(part.size(), text_.size() - size_);
        part.copy(text_.data() + size_, take);
        size_ += take;
        return *this;
    }
    ShortText& operator<<(int64_t number) {
        const auto result =
            std::to_chars(text_.data() + size_, text_.data() + text_.size(), number);
        if (result.ec == std::errc()) size_ = static_cast<std::size_t>(result.ptr - text_.data());
        return *this;
    }
    // Four upper-case hex digits of a 16-bit value.
    ShortText& Hex4(int32_t value);
    operator std::string_view() const { return {text_.data(), size_}; }

private:
    std::array<char, 96> text_{};
    std::size_t size_ = 0;
};

// "<name><start><label><quantity>", as in "Write Coils 5, length 3".
ShortText RangeText(std::string_view name, int32_t start, std::string_view label, int32_t quantity);

// "Frame too short, function N": a frame that lacks its address fields, or
// (function 16) some of its values.
ShortText FrameTooShortText(int function);

// The request line of a frame of functions 3, 4, 5, 6, 15 and 16 ("Frame too
// short, function N" when it lacks its address fields); none for a read
// while "Show reads" is off and for every other function.
std::optional<ShortText> RequestLineOf(const OperatorOptions& options, std::string_view pdu);

}  // namespace tarvik
