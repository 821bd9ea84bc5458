// Arbitrary bytes as the settings file and as the registers file: the
// readers must neither crash nor break their length promises, and whatever
// registers text, [Units] section or fault rules are accepted must write out
// and read back the same. Points and generators that are accepted must keep
// their rules, and running the generators must leave every register a 16-bit
// value.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>

#include "config/faults_section.h"
#include "config/generators_section.h"
#include "config/points_section.h"
#include "config/register_file.h"
#include "config/settings_file.h"
#include "config/start_options.h"
#include "config/startup_settings.h"
#include "config/text_helpers.h"
#include "config/units_section.h"

namespace {

// One folder for the whole run, removed when the fuzzer exits.
class FuzzFolder {
public:
    FuzzFolder() {
        // In memory where the system offers it: a disk flush per input would
        // slow the run down a hundredfold.
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tarvik_settings_fuzz_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            abort();
        }
        path_ = pattern + "/";
    }
    ~FuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const FuzzFolder& Folder() {
    static const FuzzFolder folder;
    return folder;
}

void Check(bool condition) {
    if (!condition) {
        abort();
    }
}

bool Printable(std::string_view text) {
    for (const char c : text) {
        if (c < 0x20 || c >= 0x7F) return false;
    }
    return true;
}

std::string_view WordOf(tarvik::AbsentAnswer absent) {
    switch (absent) {
        case tarvik::AbsentAnswer::GatewayTargetFailed: return "0b";
        case tarvik::AbsentAnswer::GatewayPathUnavailable: return "0A";
        case tarvik::AbsentAnswer::Silent: return "Silent";
    }
    return "";
}

// An accepted section writes out as the list text and reads back the same;
// a refused one leaves units off and keeps its message short and printable.
tarvik::UnitSet CheckUnitsSection(const tarvik::UnitsSectionResult& units) {
    using namespace tarvik;
    if (!units.ok) {
        Check(units.units == UnitsSettings{});
        const SettingsError& error = units.error;
        Check(error.section == kUnitsSection && !error.reason.empty());
        Check(error.name.size() <= 83 && error.value.size() <= 83);
        Check(Printable(error.name) && Printable(error.value));
        return {};
    }
    const std::vector<int> ids = UnitIds(units.units.served);
    Check(ids.size() == units.units.served.count());
    for (std::size_t i = 1; i < ids.size(); ++i) Check(ids[i - 1] < ids[i]);
    const std::string again = "[Units]\nAbsent=" + std::string(WordOf(units.units.absent)) +
                              "\nserved = " + UnitListText(units.units.served) + "\n";
    const UnitsSectionResult reread =
        ParseUnitsSection(ReadSectionLinesFromText(again, kUnitsSection));
    Check(reread.ok && reread.units == units.units);
    Check(UnitsNotice(units.units).starts_with(UnitListText(units.units.served) + " (others: "));
    return units.units.served;
}

// Every served unit gets values, or none when refused; today's form gives
// each unit the same values; what is accepted writes out and reads back.
void CheckUnitRegisterFile(const std::string& text, const tarvik::UnitSet& served,
                           const tarvik::RegisterFileResult& today) {
    using namespace tarvik;
    const UnitRegisterFileResult read = ParseUnitRegisterFile(text, served, "fuzz.csv");
    Check(read.ok == read.error.empty());
    if (!read.ok) {
        Check(read.units.empty() && !today.ok);
        return;
    }
    const std::vector<int> ids = UnitIds(served);
    Check(read.units.size() == ids.size());
    for (const int id : ids) {
        Check(read.units.count(id) == 1);
        if (today.ok) Check(read.units.at(id) == today.values);
    }
    if (served.none()) return;
    const UnitRegisterFileResult again =
        ParseUnitRegisterFile(FormatUnitRegisterFile(read.units), served, "fuzz.csv");
    Check(again.ok && again.units == read.units);
}

bool InRange(const tarvik::ValueMatch& match, int32_t max) {
    return match.IsAny() || (match.first >= 0 && match.first <= match.last && match.last <= max);
}

// Whatever [Faults] is accepted holds only rules within their bounds, shows
// as lines that read back as the same rules, and decides any request
// without harm.
void CheckFaults(std::string_view text) {
    using namespace tarvik;
    const FaultsSection section = ReadFaultsSectionFromText(text);
    Check(!section.error || section.rules.empty());
    Check(!section.error || section.present);
    if (section.error) {
        Check(section.error->Text().rfind("Settings error: [Faults] ", 0) == 0);
        return;
    }
    std::string shown = "[Faults]\n";
    for (const FaultRule& rule : section.rules) {
        Check(!rule.name.empty() && rule.name.size() <= kMaxFaultNameLength);
        Check(InRange(rule.unit, kMaxUnitId) && InRange(rule.addresses, kMaxAddress));
        Check(rule.function.form != ValueMatch::Form::Range &&
              InRange(rule.function, kMaxFunctionCode));
        const FaultAction& action = rule.action;
        Check(action.kind != FaultActionKind::Exception ||
              (action.value >= 1 && action.value <= 255));
        Check(action.kind != FaultActionKind::Delay ||
              (action.value >= kMinFaultDelayMs && action.value <= kMaxFaultDelayMs));
        const FaultWhen& when = rule.when;
        Check(when.kind != FaultWhenKind::Every || when.value >= 1);
        Check(when.kind != FaultWhenKind::Chance || (when.value >= 0 && when.value <= 100));
        shown += rule.name + "=" + rule.ValueText() + "\n";
    }
    const FaultsSection again = ReadFaultsSectionFromText(shown);
    Check(!again.error && again.rules == section.rules);

    // The input's first bytes as a request's unit and PDU.
    struct HalfRandom : RandomSource {
        double NextUniform() override { return 0.5; }
    } random;
    FaultRules rules(section.rules);
    const std::string_view pdu = text.substr(text.empty() ? 0 : 1, 12);
    const int unit = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    const int function = pdu.empty() ? 0 : static_cast<unsigned char>(pdu[0]);
    for (int i = 0; i < 3; ++i) {
        const auto fired = rules.Decide(unit, function, pdu, random);
        Check(!fired ||
              (fired->index < rules.Size() && fired->name == section.rules[fired->index].name));
// Units on or off, and which, from the input's first bytes.
tarvik::ServedUnits UnitsFrom(const uint8_t* data, size_t size) {
    tarvik::ServedUnits units;
    units.on = size > 0 && (data[0] & 1) != 0;
    if (!units.on) return units;
    units.ids.set(1);
    for (size_t i = 1; i < size && i < 8; ++i) units.ids.set(data[i]);
    return units;
}

struct ZeroRandom : tarvik::RandomSource {
    double NextUniform() override { return 0.999; }
};

void CheckPointsAndGenerators(const tarvik::SettingsFile& settings,
                              const tarvik::ServedUnits& units) {
    using namespace tarvik;
    const PointsSection points = ReadPointsSection(settings, units);
    Check(!points.error || points.points.empty());
    std::unordered_set<std::string> names;
    for (const Point& point : points.points) {
        Check(IsPointName(point.name) && names.insert(PointNameKey(point.name)).second);
        Check(PointFits(point) && OrderFits(point.type, point.order));
        Check(units.on ? units.ids.test(static_cast<std::size_t>(point.unit))
                       : point.unit == kNoUnit);
    }
    const GeneratorsSection generators = ReadGeneratorsSection(settings, points.points);
    Check(!generators.error || generators.generators.empty());
    std::vector<bool> generated(points.points.size(), false);
    for (const Generator& generator : generators.generators) {
        Check(generator.point < points.points.size() && !generated[generator.point]);
        generated[generator.point] = true;
        Check(generator.period.count() > 0 && !generator.numbers.empty());
    }
    // Only the units points name get tables: a fresh 4 MiB per input would
    // slow the run down.
    std::map<int, RegisterTables> tables;
    GeneratorUpdater updater(generators.generators);
    ZeroRandom random;
    const TablesOfUnit tablesOf = [&tables](int unit) { return &tables[unit]; };
    for (const int64_t t : {int64_t{0}, int64_t{12'345}, int64_t{1} << 40}) {
        updater.Update(points.points, tablesOf, std::chrono::milliseconds(t), random);
    }
    for (const Point& point : points.points) {
        Check(!ValueText(ReadPoint(point, *tablesOf(point.unit)), point.type).empty());
    }
    for (const auto& [unit, unitTables] : tables) {
        for (const RegisterTable* table :
             {&unitTables.HoldingRegisters, &unitTables.InputRegisters}) {
            for (const int32_t entry : *table) Check(entry >= 0 && entry <= 65535);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarvik;
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream file(Folder().Path() + std::string(kSettingsFileName), std::ios::binary);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const SettingsFile settings(Folder().Path());

    std::string buffer(kLocalPortsBufferLength, ' ');
    const int32_t count = settings.ReadSection(kLocalPortsSection, buffer, kLocalPortsBufferLength);
    Check(count >= 0 && count < kLocalPortsBufferLength);
    Check(buffer.size() == static_cast<std::size_t>(kLocalPortsBufferLength));
    Check(count == 0 || buffer[static_cast<std::size_t>(count) - 1] == '\0');

    // A short buffer with a generous claimed length must stay in bounds.
    std::string small(7, ' ');
    Check(settings.ReadSection("General", small, 1 << 20) < 7);
    Check(small.size() == 7);

    const std::string list = buffer.substr(0, static_cast<std::size_t>(count));
    for (int i = 0;; ++i) {
        const std::string line = GetField(list, i, '\0');
        if (line.empty()) {
            break;
        }
        const PortEntry entry = ParsePortEntry(line);
        Check(entry.PortText.size() <= line.size());
    }

    for (const char* key : {"SocketServer", "RemoteHost", "RemotePort", "SimulatePAT"}) {
        const std::string value = settings.ReadSetting("General", key, "");
        Check(value.size() <= 2047);
    }
    const StartupSettings startup = ReadStartupSettings(settings);
    Check(startup.LocalPorts.size() < static_cast<std::size_t>(kLocalPortsBufferLength));
    const StartOptions options = ReadStartOptions(settings);
    Check(options.DelayText.size() <= 2047 && options.TraceFileMaxMB >= 0);

    const RegisterFileResult registers = ParseRegisterFile(text, "fuzz.csv");
    Check(registers.ok == registers.error.empty());
    if (registers.ok) {
        const RegisterFileResult again =
            ParseRegisterFile(FormatRegisterFile(registers.values), "fuzz.csv");
        Check(again.ok && again.values == registers.values);
    }

    const UnitSet fromSettings = CheckUnitsSection(ReadUnitsSection(settings));
    // Straight to the values, past a section header random bytes rarely spell.
    CheckUnitsSection(
        ParseUnitsSection(ReadSectionLinesFromText("[Units]\nServed=" + text, kUnitsSection)));
    UnitSet fixed;
    for (const int id : {0, 1, 2, 3, 5, 247, 255}) fixed.set(static_cast<std::size_t>(id));
    for (const UnitSet& served : {UnitSet{}, fixed, fromSettings}) {
        CheckUnitRegisterFile(text, served, registers);
    }
    // Past the header, which random bytes rarely spell, to the unit lines.
    const std::string unitForm = std::string(kUnitRegisterFileHeader) + "\n" + text;
    CheckUnitRegisterFile(unitForm, fixed, ParseRegisterFile(unitForm, "fuzz.csv"));
    CheckFaults(text);
    CheckPointsAndGenerators(settings, UnitsFrom(data, size));

    RoundHalfEvenToInt32(LeadingNumber(text));
    for (int index = -1; index < 4; ++index) {
        GetField(text, index, '=');
    }
    return 0;
}
