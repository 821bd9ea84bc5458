// Arbitrary register words, doubles and texts through the typed-value codec:
// words read as a value must lay out as the same words (NaN and infinities aside),
// every value read or parsed must already fit its type, and an integer's
// text must parse back to the same integer.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/typed_value.h"

namespace {

void Check(bool condition) {
    if (!condition) abort();
}

// Registers may hold NaN or an infinity, and reading shows them as they are;
// writing clamps an infinity and may quiet a NaN, so neither comes back.
bool NotFinite(const tarvik::TypedValue& value) {
    const auto* d = std::get_if<double>(&value);
    return d != nullptr && !std::isfinite(*d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarvik;
    if (size < 10) return 0;
    const auto type = static_cast<ValueType>(data[0] % 8);
    auto order = static_cast<WordOrder>(data[1] % 4);
    if (!OrderFits(type, order)) order = WordOrder::ABCD;
    std::array<uint16_t, 4> words{};
    for (std::size_t i = 0; i < 4; ++i) {
        words[i] = static_cast<uint16_t>(data[2 + 2 * i] << 8 | data[3 + 2 * i]);
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 10), size - 10);

    const TypedValue read = DecodeValue(words, type, order);
    Check(NotFinite(read) || FitToType(read, type) == read);
    const RegisterWords again = EncodeValue(read, type, order);
    Check(again.count == RegisterCount(type));
    if (!NotFinite(read)) {
        Check(std::equal(again.words.begin(), again.words.begin() + again.count, words.begin()));
    }
    const std::string shown = ValueText(read, type);
    if (!IsFloat(type)) {
        const ValueEntry back = ParseValueText(shown, type);
        Check(back.value && *back.value == read && back.error.empty());
    }

    uint64_t bits = 0;
    std::memcpy(&bits, data + 2, sizeof bits);
    const TypedValue fitted = FitToType(std::bit_cast<double>(bits), type);
    if (!NotFinite(fitted)) {
        const RegisterWords laid = EncodeValue(fitted, type, order);
        Check(DecodeValue(laid.words, type, order) == fitted);
    }

    const ValueEntry entry = ParseValueText(text, type);
    Check(entry.value.has_value() == entry.error.empty());
    if (entry.value) Check(FitToType(*entry.value, type) == *entry.value);
    return 0;
}
