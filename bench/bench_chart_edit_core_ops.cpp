// Chart editor data operations at full size: a quarter turn of the largest area and the duplicate-ID check over
// the largest chart.
#include "chart/createchartcore.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

CreateChartArea randomArea(int rows, int columns, int firstId, std::mt19937 &random)
{
    std::uniform_real_distribution<float> value(0.0f, 255.0f);
    CreateChartArea area;
    area.LeftTopX = 400;
    area.RowCount = rows;
    area.ColumnCount = columns;
    area.PatchCount = rows * columns;
    area.PatchWidth = area.PatchHeight = area.PatchWidthGap = area.PatchHeightGap = 600;
    area.Patches.resize(area.PatchCount);
    for (int i = 0; i < area.PatchCount; ++i) {
        CreateChartPatch &patch = area.Patches[i];
        patch.ID = (firstId + i - 1) % CreateChartCore::kMaxId + 1;
        for (int k = 0; k < 3; ++k)
            patch.ColorValue[k] = value(random);
    }
    return area;
}

void BM_RotateLargestArea(benchmark::State &state)
{
    std::mt19937 random(1);
    CreateChartCore core([](int, int) { return 8; });
    CreateChartPage page;
    page.Width = 32900;
    page.Height = 150000;
    page.AreaCount = 1;
    page.Areas[0] = randomArea(244, 53, 1, random);
    core.PageLists[CreateChartCore::OriginalList].append(page);
    for (auto _ : state)
        benchmark::DoNotOptimize(core.Rotate());
    state.counters["patches"] = 244 * 53;
}
BENCHMARK(BM_RotateLargestArea)->Unit(benchmark::kMillisecond);

void BM_DuplicateCheckLargestChart(benchmark::State &state)
{
    std::mt19937 random(2);
    CreateChartCore core;
    for (int p = 0; p < 100; ++p) {
        CreateChartPage page;
        page.AreaCount = 1;
        page.Areas[0] = randomArea(40, 50, p * 2000 + 1, random);
        core.PageLists[CreateChartCore::OriginalList].append(page);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(core.CheckDuplicates(CreateChartCore::OriginalList));
    state.counters["patches"] = 100 * 2000;
}
BENCHMARK(BM_DuplicateCheckLargestChart)->Unit(benchmark::kMillisecond);

} // namespace
