// CGATS chart import of FOGRA39L.ti3 (1617 patches, Debian package icc-profiles-free) as the program runs it:
// the first stage asks for rows and columns, the second lays the patches out 33 x 49. Little CMS loading the
// same file and reading one column is the reference, timed in the same run. Run by hand from a Release build:
//   build/r/bin/bench_cgats_import --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "files/iodatafile.h"

#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>

namespace {

const char *const kChart = "/usr/share/color/icc/FOGRA39L.ti3";
constexpr int kRows = 33;
constexpr int kColumns = 49;

// Only the colour ranges matter to the CGATS import.
class BenchHost : public CIODataFileHost
{
public:
    int FindPaperSizeIndexInUnit(int, int, int) const override { return 0; }
    int GetPageSizeWidth(int) const override { return 21000; }
    int GetPageSizeHeight(int) const override { return 29700; }
    int GetPageSizeMaxWidth(int) const override { return 21000; }
    int GetPageSizeMaxHeight(int) const override { return 29700; }
    int GetAreaLeftMin() const override { return 0; }
    int GetAreaLeftMax() const override { return 21000; }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return 29700; }
    float GetColorMinValue(int) const override { return 0.0f; }
    float GetColorMaxValue(int format) const override { return format == 1 ? 255.0f : 100.0f; }
    QPair<int, int> GetIso12642DefaultPosition(int, int) const override { return {0, 0}; }
    int GetIso12642LayoutLongSide() const override { return kColumns; }
    int GetIso12642LayoutShortSide() const override { return kRows; }
};

bool ChartMissing(benchmark::State &state)
{
    if (QFile::exists(QString::fromLatin1(kChart)))
        return false;
    state.SkipWithError("FOGRA39L.ti3 missing: install the Debian package icc-profiles-free");
    return true;
}

// Both stages; false when either gives another result than the program expects of this file.
bool ImportBothStages(CIODataFile &io)
{
    ChartDefinitionDataSheets chart;
    int request = 0;
    int patchCount = 0;
    const QString path = QString::fromLatin1(kChart);
    bool ok = io.ImportCgatsChart(&chart, &request, &patchCount, path) == CIODataFile::CgatsNeedsLayout &&
              request == CIODataFile::RequestRowsColumns && patchCount == kRows * kColumns;
    ok = ok && io.ImportCgatsChartWithLayout(&chart, path, kRows, kColumns) == CIODataFile::Success &&
         chart.SheetCount == 1 && chart.Sheets[0].PatchCount == kRows * kColumns;
    ClearChartDefinitionData(&chart);
    return ok;
}

// Little CMS: load, then every value of the CMYK_C column.
bool LoadWithLittleCms(double *sum)
{
    cmsHANDLE it8 = cmsIT8LoadFromFile(nullptr, kChart);
    if (!it8)
        return false;
    const int column = cmsIT8FindDataFormat(it8, "CMYK_C");
    const int sets = int(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"));
    for (int i = 0; i < sets; ++i)
        *sum += cmsIT8GetDataRowColDbl(it8, i, column);
    cmsIT8Free(it8);
    return column >= 0 && sets == kRows * kColumns;
}

void BM_VaremoCgatsImport(benchmark::State &state)
{
    if (ChartMissing(state))
        return;
    BenchHost host;
    CIODataFile io(&host);
    for (auto _ : state) {
        if (!ImportBothStages(io)) {
            state.SkipWithError("import result differs from the expected 70021 / request 5 / 1617, then 0");
            return;
        }
    }
}

void BM_LittleCmsLoadOneColumn(benchmark::State &state)
{
    if (ChartMissing(state))
        return;
    for (auto _ : state) {
        double sum = 0;
        if (!LoadWithLittleCms(&sum)) {
            state.SkipWithError("Little CMS could not read the chart");
            return;
        }
        benchmark::DoNotOptimize(sum);
    }
}

// Both in alternation within one benchmark, so load changes on the machine hit both alike; the counter is the
// ratio of our time to Little CMS's.
void BM_RatioVaremoToLittleCms(benchmark::State &state)
{
    if (ChartMissing(state))
        return;
    BenchHost host;
    CIODataFile io(&host);
    using Clock = std::chrono::steady_clock;
    Clock::duration ours{};
    Clock::duration reference{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool imported = ImportBothStages(io);
        const Clock::time_point middle = Clock::now();
        double sum = 0;
        const bool loaded = LoadWithLittleCms(&sum);
        const Clock::time_point end = Clock::now();
        benchmark::DoNotOptimize(sum);
        if (!imported || !loaded) {
            state.SkipWithError("an import failed");
            return;
        }
        ours += middle - start;
        reference += end - middle;
    }
    state.counters["ratio_ours_to_lcms"] =
        reference.count() > 0 ? double(ours.count()) / double(reference.count()) : 0.0;
}

} // namespace

BENCHMARK(BM_VaremoCgatsImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LittleCmsLoadOneColumn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RatioVaremoToLittleCms)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::printf("Reference: Little CMS cmsIT8LoadFromFile + one column (CMYK_C) of %s\n", kChart);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
