// Arbitrary bytes as the settings file and as the registers file: the
// readers must neither crash nor break their length promises, and whatever
// registers text is accepted must write out and read back the same. Points
// and generators that are accepted must keep their rules, and running the
// generators must leave every register a 16-bit value.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unordered_set>

#include "config/generators_section.h"
#include "config/points_section.h"
#include "config/register_file.h"
#include "config/settings_file.h"
#include "config/start_options.h"
#include "config/startup_settings.h"
#include "config/text_helpers.h"

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
    Check(options.DelayText.size() <= 2047 && options.TraceFileMaxMB >= 1);

    const RegisterFileResult registers = ParseRegisterFile(text, "fuzz.csv");
    Check(registers.ok == registers.error.empty());
    if (registers.ok) {
        const RegisterFileResult again =
            ParseRegisterFile(FormatRegisterFile(registers.values), "fuzz.csv");
        Check(again.ok && again.values == registers.values);
    }

    CheckPointsAndGenerators(settings, UnitsFrom(data, size));

    RoundHalfEvenToInt32(LeadingNumber(text));
    for (int index = -1; index < 4; ++index) {
        GetField(text, index, '=');
    }
    return 0;
}
