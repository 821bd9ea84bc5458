// Values that move on a clock: each generator's value is a function of the
// time since the generators (re)started, written into its point's registers
// on the event loop's tick and never on a master's read.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/point.h"
#include "engine/random_source.h"
#include "engine/typed_value.h"

namespace tarvik {

enum class GeneratorKind : uint8_t {
    Ramp,     // MIN MAX PERIOD: MIN + (MAX - MIN) * (t mod PERIOD) / PERIOD
    Sine,     // MID AMPLITUDE PERIOD: MID + AMPLITUDE * sin(2 pi t / PERIOD)
    Random,   // MIN MAX INTERVAL: a new uniform draw every INTERVAL
    Counter,  // STEP INTERVAL: STEP * floor(t / INTERVAL), integers wrapping
    Steps,    // V1 V2 ... INTERVAL: V1 for the first INTERVAL, then V2, ..., round again
};

std::string_view KindName(GeneratorKind kind);
// Ignores case.
std::optional<GeneratorKind> ParseKindName(std::string_view text);

struct Generator {
    std::size_t point = 0;  // index into the points it was read with
    GeneratorKind kind = GeneratorKind::Ramp;
    // The numbers before the duration, in the order the kind names them.
    std::vector<double> numbers;
    std::chrono::milliseconds period{1};  // PERIOD or INTERVAL; positive
    std::string text;  // as the settings file writes it, for the operator to read
};

// The value at `elapsed` since (re)start, fitted to `type`, of any kind but
// Random. Negative times count as 0.
TypedValue GeneratorValue(const Generator& generator, ValueType type,
                          std::chrono::milliseconds elapsed);

// One Random draw: uniform over the whole numbers from MIN up to MAX for
// integer types (MIN itself, rounded, when none lies between), over the
// reals for floats.
TypedValue RandomDraw(const Generator& generator, ValueType type, RandomSource& random);

// Writes every generator's value into its point's registers. A random
// generator draws once when its interval changes, so the draws follow the
// clock and not the number of updates (with a seeded source, one run repeats
// another as long as the updates fall into the same intervals).
class GeneratorUpdater {
public:
    GeneratorUpdater() = default;
    explicit GeneratorUpdater(std::vector<Generator> generators);

    // Generators whose point is not in `points` or whose unit has no tables
    // are skipped. Every update writes, so a master's write to a generated
    // point lasts only until the next one.
    void Update(std::span<const Point> points, const TablesOfUnit& tablesOf,
                std::chrono::milliseconds elapsed, RandomSource& random);

    const std::vector<Generator>& Generators() const { return generators_; }

private:
    struct RandomSlot {
        int64_t interval = -1;  // the interval the value was drawn for
        TypedValue value;
    };
    std::vector<Generator> generators_;
    std::vector<RandomSlot> slots_;
};

}  // namespace tarvik
