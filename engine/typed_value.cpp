#include "engine/typed_value.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

namespace tarvik {

namespace {

constexpr std::array<std::string_view, 8> kTypeNames = {"int16",   "uint16", "int32",  "uint32",
                                                        "float32", "int64",  "uint64", "float64"};
constexpr std::array<std::string_view, 4> kOrderNames = {"ABCD", "CDAB", "BADC", "DCBA"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return Lower(x) == Lower(y); });
}

int Bits(ValueType type) { return 16 * RegisterCount(type); }

int64_t SignedMax(ValueType type) {
    return static_cast<int64_t>((uint64_t{1} << (Bits(type) - 1)) - 1);
}
int64_t SignedMin(ValueType type) { return -SignedMax(type) - 1; }
uint64_t UnsignedMax(ValueType type) {
    return Bits(type) == 64 ? std::numeric_limits<uint64_t>::max()
                            : (uint64_t{1} << Bits(type)) - 1;
}

int64_t FitSigned(const TypedValue& value, ValueType type) {
    const int64_t low = SignedMin(type), high = SignedMax(type);
    if (const auto* i = std::get_if<int64_t>(&value)) return std::clamp(*i, low, high);
    if (const auto* u = std::get_if<uint64_t>(&value)) {
        return *u > static_cast<uint64_t>(high) ? high : static_cast<int64_t>(*u);
    }
    const double d = std::get<double>(value);
    if (std::isnan(d)) return 0;
    const double r = std::round(d);
    // Both limits as doubles are exact or round up to a power of two, so the
    // comparisons keep the casts below in range.
    if (r <= static_cast<double>(low)) return low;
    if (r >= static_cast<double>(high)) return high;
    return static_cast<int64_t>(r);
}

uint64_t FitUnsigned(const TypedValue& value, ValueType type) {
    const uint64_t high = UnsignedMax(type);
    if (const auto* i = std::get_if<int64_t>(&value)) {
        return *i < 0 ? 0 : std::min(static_cast<uint64_t>(*i), high);
    }
    if (const auto* u = std::get_if<uint64_t>(&value)) return std::min(*u, high);
    const double d = std::get<double>(value);
    if (std::isnan(d)) return 0;
    const double r = std::round(d);
    if (r <= 0.0) return 0;
    if (r >= static_cast<double>(high)) return high;
    return static_cast<uint64_t>(r);
}

double FitFloat(const TypedValue& value, ValueType type) {
    const double d = AsDouble(value);
    if (std::isnan(d)) return type == ValueType::Float32 ? static_cast<float>(d) : d;
    if (type == ValueType::Float64) return std::clamp(d, -DBL_MAX, DBL_MAX);
    return static_cast<float>(
        std::clamp(d, static_cast<double>(-FLT_MAX), static_cast<double>(FLT_MAX)));
}

// The fitted value's bit pattern, in the type's width.
uint64_t ValueBits(const TypedValue& fitted, ValueType type) {
    switch (type) {
        case ValueType::Float32:
            return std::bit_cast<uint32_t>(static_cast<float>(std::get<double>(fitted)));
        case ValueType::Float64: return std::bit_cast<uint64_t>(std::get<double>(fitted));
        default: break;
    }
    const uint64_t bits = IsSigned(type) ? static_cast<uint64_t>(std::get<int64_t>(fitted))
                                         : std::get<uint64_t>(fitted);
    return bits & UnsignedMax(type);
}

TypedValue ValueOfBits(uint64_t bits, ValueType type) {
    switch (type) {
        case ValueType::Float32:
            return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(bits)));
        case ValueType::Float64: return std::bit_cast<double>(bits);
        default: break;
    }
    if (!IsSigned(type)) return bits & UnsignedMax(type);
    const int shift = 64 - Bits(type);
    return static_cast<int64_t>(bits << shift) >> shift;
}

bool SwapsBytes(WordOrder order) { return order == WordOrder::BADC || order == WordOrder::DCBA; }
bool LowWordFirst(WordOrder order) { return order == WordOrder::CDAB || order == WordOrder::DCBA; }

uint16_t SwapBytes(uint16_t word) { return static_cast<uint16_t>((word >> 8) | (word << 8)); }

// Reorders words given most significant first into `order`; applied again,
// it undoes itself.
void Reorder(RegisterWords& words, WordOrder order) {
    const auto used = words.words.begin() + words.count;
    if (LowWordFirst(order)) std::reverse(words.words.begin(), used);
    if (SwapsBytes(order))
        std::transform(words.words.begin(), used, words.words.begin(), SwapBytes);
}

}  // namespace

int RegisterCount(ValueType type) {
    switch (type) {
        case ValueType::Int16:
        case ValueType::Uint16: return 1;
        case ValueType::Int32:
        case ValueType::Uint32:
        case ValueType::Float32: return 2;
        default: return 4;
    }
}

bool IsFloat(ValueType type) { return type == ValueType::Float32 || type == ValueType::Float64; }

bool IsSigned(ValueType type) {
    return type == ValueType::Int16 || type == ValueType::Int32 || type == ValueType::Int64;
}

bool OrderFits(ValueType type, WordOrder order) {
    return RegisterCount(type) > 1 || order == WordOrder::ABCD || order == WordOrder::BADC;
}

std::string_view TypeName(ValueType type) { return kTypeNames[static_cast<std::size_t>(type)]; }
std::string_view OrderName(WordOrder order) { return kOrderNames[static_cast<std::size_t>(order)]; }

std::optional<ValueType> ParseTypeName(std::string_view text) {
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        if (SameNoCase(text, kTypeNames[i])) return static_cast<ValueType>(i);
    }
    return std::nullopt;
}

std::optional<WordOrder> ParseOrderName(std::string_view text) {
    for (std::size_t i = 0; i < kOrderNames.size(); ++i) {
        if (SameNoCase(text, kOrderNames[i])) return static_cast<WordOrder>(i);
    }
    return std::nullopt;
}

double AsDouble(const TypedValue& value) {
    return std::visit([](auto v) { return static_cast<double>(v); }, value);
}

TypedValue FitToType(const TypedValue& value, ValueType type) {
    if (IsFloat(type)) return FitFloat(value, type);
    if (IsSigned(type)) return FitSigned(value, type);
    return FitUnsigned(value, type);
}

TypedValue WrapToType(uint64_t bits, ValueType type) {
    return IsFloat(type) ? TypedValue(0.0) : ValueOfBits(bits, type);
}

RegisterWords EncodeValue(const TypedValue& value, ValueType type, WordOrder order) {
    const uint64_t bits = ValueBits(FitToType(value, type), type);
    RegisterWords out;
    out.count = RegisterCount(type);
    for (int i = 0; i < out.count; ++i) {
        out.words[static_cast<std::size_t>(i)] =
            static_cast<uint16_t>(bits >> (16 * (out.count - 1 - i)));
    }
    Reorder(out, order);
    return out;
}

TypedValue DecodeValue(std::span<const uint16_t> words, ValueType type, WordOrder order) {
    RegisterWords in;
    in.count = RegisterCount(type);
    // Missing words read as 0 rather than past the caller's span.
    std::copy_n(words.begin(), std::min<std::size_t>(words.size(), in.count), in.words.begin());
    Reorder(in, order);
    uint64_t bits = 0;
    for (int i = 0; i < in.count; ++i) bits = (bits << 16) | in.words[static_cast<std::size_t>(i)];
    return ValueOfBits(bits, type);
}

}  // namespace tarvik
