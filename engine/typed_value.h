// Typed values across registers: eight types, four word and byte orders,
// the value's text and its parsing. Floats are IEEE 754 and packed from
// their bit pattern, so the registers are the same on every machine.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace tarvik {

enum class ValueType : uint8_t { Int16, Uint16, Int32, Uint32, Float32, Int64, Uint64, Float64 };

// The value's bytes A (most significant) to D as they lie in the registers.
// For 64-bit types the same rules run over four words.
enum class WordOrder : uint8_t {
    ABCD,  // high word first, high byte first in each word
    CDAB,  // low word first
    BADC,  // high word first, bytes swapped in each word
    DCBA,  // low word first, bytes swapped
};

// Holds any of the eight without loss: signed types as int64_t, unsigned
// as uint64_t, floats as double (a float32 exactly as the float it is).
using TypedValue = std::variant<int64_t, uint64_t, double>;

// Registers a value of the type spans: 1, 2 or 4.
int RegisterCount(ValueType type);
bool IsFloat(ValueType type);
bool IsSigned(ValueType type);
// 16-bit types have one word, so only ABCD and BADC mean anything.
bool OrderFits(ValueType type, WordOrder order);

// Names as settings files write them ("float32", "CDAB"); parsing ignores case.
std::string_view TypeName(ValueType type);
std::string_view OrderName(WordOrder order);
std::optional<ValueType> ParseTypeName(std::string_view text);
std::optional<WordOrder> ParseOrderName(std::string_view text);

// The value as the type holds it: floats to integer types rounded to the
// nearest (halves away from zero), everything clamped to the type's range
// (infinities to the largest finite float), a float32 rounded to float.
// NaN stays NaN in a float type and becomes 0 in an integer type.
TypedValue FitToType(const TypedValue& value, ValueType type);
double AsDouble(const TypedValue& value);
// The integer type's value of the low bits of `bits` (two's complement for
// signed types): how an integer wraps within its type.
TypedValue WrapToType(uint64_t bits, ValueType type);

// Register words, each 0..65535, the first RegisterCount(type) used.
struct RegisterWords {
    std::array<uint16_t, 4> words{};
    int count = 0;
};

// `value` fitted to the type, laid out in `order`.
RegisterWords EncodeValue(const TypedValue& value, ValueType type, WordOrder order);
// The first RegisterCount(type) of `words` read back in `order`.
TypedValue DecodeValue(std::span<const uint16_t> words, ValueType type, WordOrder order);

// The value's text: integers in decimal; floats with up to 7 (float32) or
// 15 (float64) significant digits, ".0" kept on a whole number ("50.0").
// Independent of the process locale.
std::string ValueText(const TypedValue& value, ValueType type);

// An operator's entry for a value of the type: integers in decimal with an
// optional sign, floats also with a fraction or exponent ("-12.5", "1e3").
// A refusal says why, with the type's range when the number does not fit.
struct ValueEntry {
    std::optional<TypedValue> value;
    std::string error;
};
ValueEntry ParseValueText(std::string_view text, ValueType type);

// A decimal number with optional sign, fraction and exponent, finite as a
// double; nothing for anything else (hex, "inf", "nan", blanks, overflow).
std::optional<double> ParseDecimalNumber(std::string_view text);

}  // namespace tarvik
