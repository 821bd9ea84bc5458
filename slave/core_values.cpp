#include "slave/core_values.h"

#include "engine/text_forms.h"
#include "slave/trace_outputs.h"

namespace tarvik {
namespace {

TablesOfUnit TablesIn(UnitTables& units) {
    return [&units](int unit) { return units.Of(unit); };
}

}  // namespace

ValueSections ReadValueSections(const SettingsFile& settings, const ServedUnits& units) {
    ValueSections sections;
    sections.points = ReadPointsSection(settings, units);
    if (sections.points.error) {
        // Generators would only repeat the missing points as errors of their own.
        sections.error = sections.points.error;
        sections.generators.present = ReadSectionLines(settings, kGeneratorsSection).present;
        return sections;
    }
    sections.generators = ReadGeneratorsSection(settings, sections.points.points);
    if (sections.generators.error) {
        sections.error = sections.generators.error;
        sections.points.points.clear();
    }
    return sections;
}

ServedUnits ServedUnitsOf(const UnitSet& served) { return ServedUnits{served.any(), served}; }

void CoreValues::Take(const ValueSections& sections) {
    present_ = sections.points.present || sections.generators.present;
    if (sections.error) {
        points_.clear();
        updater_ = GeneratorUpdater();
    } else {
        points_ = sections.points.points;
        updater_ = GeneratorUpdater(sections.generators.generators);
    }
    Restart();
}

void CoreValues::Replace(const ValueSections& sections, ReloadReport& report) {
    const bool told = present_ || sections.points.present || sections.generators.present;
    Take(sections);
    if (!told) return;
    report.notices.push_back(
        NoticeLine("Points reloaded: " + Decimal(static_cast<int64_t>(points_.size())) +
                   ", generators: " + Decimal(static_cast<int64_t>(GeneratorCount()))));
}

void CoreValues::Update(UnitTables& units, RandomSource& random) {
    if (!HasGenerators()) return;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
    updater_.Update(points_, TablesIn(units), elapsed, random);
}

std::string CoreValues::ValuesText(UnitTables& units) const {
    return PointValuesText(points_, TablesIn(units));
}

}  // namespace tarvik
