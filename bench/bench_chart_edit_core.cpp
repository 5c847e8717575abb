// The chart editor's widget-free core: the colour scramble of one area. Run by hand from a Release build:
//   build/release/bin/bench_chart_edit_core

#include "app/colourhelpers.h"
#include "chart/createchartscramble.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Rows x columns of seeded random sRGB colours, as L*a*b*.
std::vector<ScrambleEntry> RandomArea(int rows, int columns)
{
    std::mt19937 gen(1234u);
    std::uniform_int_distribution<int> channel(0, 255);
    std::vector<ScrambleEntry> entries(size_t(rows) * size_t(columns));
    for (size_t i = 0; i < entries.size(); ++i) {
        const float rgb[3] = {float(channel(gen)), float(channel(gen)), float(channel(gen))};
        RgbToLab(entries[i].Lab, rgb);
        entries[i].ListIndex = int(i);
    }
    return entries;
}

// One attempt (seed 0) over a whole area; the swaps the search made are reported per area.
void BM_ScrambleArea(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int columns = int(state.range(1));
    const std::vector<ScrambleEntry> area = RandomArea(rows, columns);
    qint64 swaps = 0;
    float result = 0.0f;
    for (auto _ : state) {
        std::vector<ScrambleEntry> positions = area;
        result = ScrambleArea(positions, columns, rows, 0, &swaps);
        benchmark::DoNotOptimize(positions.data());
    }
    const double cells = double(area.size());
    state.counters["swaps"] = double(swaps);
    state.counters["cap"] = std::max(cells * cells, 10000.0);
    state.counters["deltaE"] = result;
}
BENCHMARK(BM_ScrambleArea)->Args({20, 30})->Args({53, 244})->ArgNames({"rows", "columns"})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
