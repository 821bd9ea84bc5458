#include "engine/generators.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tarvik {

namespace {

constexpr std::array<std::string_view, 5> kKindNames = {"ramp", "sine", "random", "counter",
                                                        "steps"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int64_t Millis(std::chrono::milliseconds elapsed) { return std::max<int64_t>(0, elapsed.count()); }

// Settings refuse a period that is not positive; a hand-made one of 0 must
// still not divide by zero.
int64_t PeriodMs(const Generator& generator) {
    return std::max<int64_t>(1, generator.period.count());
}

// Where t lies within its period, 0 <= phase < 1.
double Phase(const Generator& generator, int64_t t) {
    const int64_t period = PeriodMs(generator);
    return static_cast<double>(t % period) / static_cast<double>(period);
}

double Number(const Generator& generator, std::size_t i) {
    return i < generator.numbers.size() ? generator.numbers[i] : 0.0;
}

// STEP * n wrapped within an integer type. Whole steps multiply exactly in
// 64-bit modular arithmetic, which keeps every type's low bits right; other
// steps go through long double and lose precision only far past 2^64.
TypedValue IntegerCounter(double step, int64_t n, ValueType type) {
    if (step == std::trunc(step) && std::fabs(step) < 0x1p63) {
        const uint64_t product =
            static_cast<uint64_t>(static_cast<int64_t>(step)) * static_cast<uint64_t>(n);
        return WrapToType(product, type);
    }
    constexpr long double kWrap = 0x1p64L;
    long double wrapped =
        std::fmod(std::round(static_cast<long double>(step) * static_cast<long double>(n)), kWrap);
    if (wrapped < 0) wrapped += kWrap;
    if (!(wrapped < kWrap) || std::isnan(wrapped)) wrapped = 0;
    return WrapToType(static_cast<uint64_t>(wrapped), type);
}

uint64_t Bits(const TypedValue& integer) {
    if (const auto* i = std::get_if<int64_t>(&integer)) return static_cast<uint64_t>(*i);
    return std::get<uint64_t>(integer);
}

}  // namespace

std::string_view KindName(GeneratorKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::optional<GeneratorKind> ParseKindName(std::string_view text) {
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        const std::string_view name = kKindNames[i];
        if (std::equal(text.begin(), text.end(), name.begin(), name.end(),
                       [](char a, char b) { return Lower(a) == b; })) {
            return static_cast<GeneratorKind>(i);
        }
    }
    return std::nullopt;
}

TypedValue GeneratorValue(const Generator& generator, ValueType type,
                          std::chrono::milliseconds elapsed) {
    const int64_t t = Millis(elapsed);
    const int64_t intervals = t / PeriodMs(generator);
    switch (generator.kind) {
        case GeneratorKind::Ramp:
            // lerp cannot overflow on MAX - MIN and meets both ends exactly.
            return FitToType(
                std::lerp(Number(generator, 0), Number(generator, 1), Phase(generator, t)), type);
        case GeneratorKind::Sine:
            return FitToType(
                Number(generator, 0) +
                    Number(generator, 1) * std::sin(2.0 * std::numbers::pi * Phase(generator, t)),
                type);
        case GeneratorKind::Counter:
            if (IsFloat(type)) {
                return FitToType(Number(generator, 0) * static_cast<double>(intervals), type);
            }
            return IntegerCounter(Number(generator, 0), intervals, type);
        case GeneratorKind::Steps:
            if (generator.numbers.empty()) return FitToType(0.0, type);
            return FitToType(
                generator.numbers[static_cast<std::size_t>(intervals) % generator.numbers.size()],
                type);
        case GeneratorKind::Random: break;
    }
    // A random value needs a source; its first bound stands in without one.
    return FitToType(Number(generator, 0), type);
}

TypedValue RandomDraw(const Generator& generator, ValueType type, RandomSource& random) {
    const double low = Number(generator, 0), high = Number(generator, 1);
    const double u = random.NextUniform();
    if (IsFloat(type)) return FitToType(std::lerp(low, high, u), type);
    TypedValue first = FitToType(std::ceil(low), type);
    TypedValue last = FitToType(std::floor(high), type);
    if (AsDouble(first) > AsDouble(last)) first = last = FitToType(low, type);
    // Counted as an offset from `first` in modular arithmetic, which spans
    // even the whole of int64 or uint64.
    const uint64_t span = Bits(last) - Bits(first);
    long double fraction = u;
    // One draw has 53 bits; a wider span takes a second for the low bits, so
    // its top values are reachable too.
    if (span >= (uint64_t{1} << 53)) fraction += random.NextUniform() * 0x1p-53L;
    const long double scaled = std::floor(fraction * (static_cast<long double>(span) + 1.0L));
    const uint64_t offset =
        scaled >= static_cast<long double>(span) ? span : static_cast<uint64_t>(scaled);
    return WrapToType(Bits(first) + offset, type);
}

GeneratorUpdater::GeneratorUpdater(std::vector<Generator> generators)
    : generators_(std::move(generators)), slots_(generators_.size()) {}

void GeneratorUpdater::Update(std::span<const Point> points, const TablesOfUnit& tablesOf,
                              std::chrono::milliseconds elapsed, RandomSource& random) {
    for (std::size_t i = 0; i < generators_.size(); ++i) {
        const Generator& generator = generators_[i];
        if (generator.point >= points.size()) continue;
        const Point& point = points[generator.point];
        RegisterTables* tables = tablesOf(point.unit);
        if (tables == nullptr) continue;
        if (generator.kind != GeneratorKind::Random) {
            WritePoint(point, *tables, GeneratorValue(generator, point.type, elapsed));
            continue;
        }
        RandomSlot& slot = slots_[i];
        const int64_t interval = Millis(elapsed) / PeriodMs(generator);
        if (interval != slot.interval) {
            slot.interval = interval;
            slot.value = RandomDraw(generator, point.type, random);
        }
        WritePoint(point, *tables, slot.value);
    }
}

}  // namespace tarvik
