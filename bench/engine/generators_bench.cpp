// One tick of the generators: 1,000 points of every type, each with a
// generator of every kind in turn, written into two units' tables. The
// event loop ticks every 100 ms; a tick must cost it well under 1 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <vector>

#include "engine/clock_random.h"
#include "engine/generators.h"

namespace {

using namespace tarvik;

void GeneratorTick(benchmark::State& state) {
    constexpr int kPoints = 1000;
    std::vector<Point> points;
    std::vector<Generator> generators;
    for (int i = 0; i < kPoints; ++i) {
        const auto type = static_cast<ValueType>(i % 8);
        const auto order =
            RegisterCount(type) == 1 ? WordOrder::BADC : static_cast<WordOrder>(i % 4);
        // Spread over both tables and units; overlaps are allowed and cost the same.
        points.push_back({"P" + std::to_string(i), i % 2 ? PointTable::Input : PointTable::Holding,
                          (i * 2) % 2044, type, order, 1 + i % 2});
        const auto kind = static_cast<GeneratorKind>(i % 5);
        std::vector<double> numbers = kind == GeneratorKind::Counter ? std::vector<double>{3}
                                      : kind == GeneratorKind::Steps
                                          ? std::vector<double>{1, 2, 3, 4}
                                          : std::vector<double>{-100, 100};
        generators.push_back({static_cast<std::size_t>(i),
                              kind,
                              std::move(numbers),
                              std::chrono::milliseconds(250 + i),
                              {}});
    }
    std::map<int, RegisterTables> units{{1, {}}, {2, {}}};
    const TablesOfUnit tablesOf = [&units](int unit) -> RegisterTables* {
        const auto found = units.find(unit);
        return found == units.end() ? nullptr : &found->second;
    };
    GeneratorUpdater updater(std::move(generators));
    ClockSeededRandom random;
    int64_t elapsed = 0;
    for (auto _ : state) {
        updater.Update(points, tablesOf, std::chrono::milliseconds(elapsed), random);
        elapsed += 100;  // every tick a new time, so random generators draw on schedule
        benchmark::DoNotOptimize(units);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(GeneratorTick)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
