// The typed points and their generators as the core keeps them: taken from
// the start-up reading of the settings file, replaced by a reload's reading.
// The generators run on the core's tick with the time since they (re)started,
// never on a master's read.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "config/generators_section.h"
#include "config/points_section.h"
#include "engine/generators.h"
#include "engine/point.h"
#include "engine/random_source.h"
#include "engine/unit_tables.h"
#include "slave/core_reload.h"

namespace tarvik {

// How often the generators write; the floor.
inline constexpr int kValuesTickMs = 100;

// [Points] and [Generators] read together: a bad line in either leaves both
// out (`points` and `generators` then hold no entries).
struct ValueSections {
    PointsSection points;
    GeneratorsSection generators;
    std::optional<SettingsError> error;
};

ValueSections ReadValueSections(const SettingsFile& settings, const ServedUnits& units);

// The units [Units] serves, in the form the points' reader wants.
ServedUnits ServedUnitsOf(const UnitSet& served);

class CoreValues {
public:
    using Clock = std::chrono::steady_clock;

    // Sections with an error give nothing; the generators restart at t = 0.
    void Take(const ValueSections& sections);
    // Take, then "Points reloaded: N, generators: M" when either section is
    // in the new reading or was in the old one.
    void Replace(const ValueSections& sections, ReloadReport& report);
    // Starts the clock again, for the generators' t = 0.
    void Restart() { start_ = Clock::now(); }

    // Either section is in the settings file (even empty).
    bool Present() const { return present_; }
    bool HasGenerators() const { return !updater_.Generators().empty(); }
    const std::vector<Point>& Points() const { return points_; }
    std::size_t GeneratorCount() const { return updater_.Generators().size(); }
    // Each names its point by index into Points().
    const std::vector<Generator>& Generators() const { return updater_.Generators(); }

    // Writes every generator's value for the time since the (re)start.
    void Update(UnitTables& units, RandomSource& random);
    // "Flow=50.0 Level=333", empty without points.
    std::string ValuesText(UnitTables& units) const;

private:
    std::vector<Point> points_;
    GeneratorUpdater updater_;
    bool present_ = false;
    Clock::time_point start_ = Clock::now();
};

}  // namespace tarvik
