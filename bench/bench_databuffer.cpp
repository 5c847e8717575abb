// The working buffer on the largest grid a page holds (53 columns x 244 rows, 12,932 patches): laying out a
// recognition result and rebuilding the page after 1 % of its measure points were deleted; and a 2,000-patch
// run through the chart-scanner controller and the buffer with a scripted recognition (no image work).

#include "app/constants.h"
#include "app/databuffer.h"
#include "app/illuminantdata.h"
#include "app/orlosdkcontroller.h"
#include "app/recordhelpers.h"

#include "OrloSim.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr int kColumns = 53, kRows = 244, kPatches = kColumns * kRows;

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

OrloLayoutRecord GridLayout(int rows, int columns)
{
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    layout.width = 32900;
    layout.height = 150000;
    layout.areaCount = 1;
    layout.patchCount = rows * columns;
    layout.areaCounts[0][0] = rows;
    layout.areaCounts[0][1] = columns;
    layout.areaCounts[0][2] = rows * columns;
    const int32_t g[6] = {400, 400, 500, 500, 600, 600};
    std::copy(g, g + 6, layout.areaGeometry[0]);
    return layout;
}

std::vector<OrloMeasurePoint> GridPoints(int rows, int columns)
{
    std::vector<OrloMeasurePoint> points;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            points.push_back({650 + 600 * c, 650 + 600 * r, 0, r, c});
    return points;
}

class BufferHost : public CDataBufferHost
{
public:
    Setting::UserEnvironment environment;
    float GetColorDefaultValue(int format) const override { return ColorFormatRow(format).paperWhite; }
    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    QString GetInstrumentSerialNumber(int) override { return QStringLiteral("ORS00001"); }
    int ReadRecognitionMeasure(int, ChartDefinitionDataSheets *, MeasurementDataSheets *) override { return 0; }
    int ReadDesignationChart(int, ChartDefinitionDataSheets *) override { return 0; }
    int ReadDensityChart(int, ChartDefinitionDataSheets *) override { return 0; }
    int ReadDesignationMeasure(int, int, MeasurementDataSheets *) override { return 0; }
    int ReadDensityMeasure(int, int, MeasurementDataSheets *) override { return 0; }
};

void BM_SetRecognitionResult(benchmark::State &state)
{
    BufferHost host;
    CDataBuffer buffer(&host);
    const OrloLayoutRecord layout = GridLayout(kRows, kColumns);
    const std::vector<OrloMeasurePoint> points = GridPoints(kRows, kColumns);
    std::vector<unsigned char> pixels(100 * 100, 200);
    const OrloImage image = {100, 100, 8, pixels.data()};
    Clock::duration spent{};
    for (auto _ : state) {
        const auto start = Clock::now();
        const int r = buffer.SetRecognitionResult(&layout, &image, points.data(), kPatches, 1);
        spent += Clock::now() - start;
        benchmark::DoNotOptimize(r);
    }
    state.counters["ms_per_call"] = Ms(spent) / double(state.iterations());
}
BENCHMARK(BM_SetRecognitionResult)->Unit(benchmark::kMillisecond);

void BM_BuildPageMeasurePoints(benchmark::State &state)
{
    BufferHost host;
    CDataBuffer buffer(&host);
    const OrloLayoutRecord layout = GridLayout(kRows, kColumns);
    const std::vector<OrloMeasurePoint> points = GridPoints(kRows, kColumns);
    std::vector<unsigned char> pixels(16, 0);
    const OrloImage image = {4, 4, 8, pixels.data()};
    buffer.SetRecognitionResult(&layout, &image, points.data(), kPatches, 1);
    const ChartDefinitionData::Sheet &source = buffer.GetChartDefinition()->Sheets[0];
    const MeasurementData &sourcePage = buffer.GetMeasurement()->Sheets[0];
    // 1 % of the points, spread over the page.
    QList<ChartDefinitionData::PatchColor> removed;
    for (int k = 0; k < kPatches; k += 100)
        removed << source.Patches[(k * 7919) % kPatches];
    Clock::duration spent{};
    for (auto _ : state) {
        state.PauseTiming();
        ChartDefinitionData::Sheet sheet;
        MeasurementData page;
        CopySheetData(&sheet, source);
        CopyMeasurementPage(&page, sourcePage);
        state.ResumeTiming();
        const auto start = Clock::now();
        const int r = buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, removed);
        spent += Clock::now() - start;
        benchmark::DoNotOptimize(r);
        state.PauseTiming();
        ClearSheetData(&sheet);
        ClearMeasurementPage(&page);
        state.ResumeTiming();
    }
    state.counters["ms_per_call"] = Ms(spent) / double(state.iterations());
}
BENCHMARK(BM_BuildPageMeasurePoints)->Unit(benchmark::kMillisecond);

// Just enough of the model for a designation run: buffer operations go to the buffer, the rest is silent.
class RunHost : public COrloSDKHost, public BufferHost
{
public:
    CDataBuffer buffer{this};
    OrloSelectedChart selected;
    int finished = 0;

    int GetOperationState() override { return 0; }
    void SetOrloStatus(int) override {}
    void ReportError(int, int, bool) override {}
    void EmitDesignationMeasureItemBackColor() override {}
    void EmitMatchingMessage(int) override {}
    void EmitPatchColorUnmatch() override {}
    void EmitReliableLow() override {}
    void EmitSetMainWindowChartCanvas(int) override {}
    void EmitMeasurementRestartEnable(bool) override {}
    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    int GetUserIlluminantForCondition(int, int, EnvironLightData *) override { return 1; }
    int GetSelectionSource() override { return 1; }
    bool GetSelectedChart(OrloSelectedChart *out) override { return *out = selected, true; }
    int GetCurrentSheet(const ChartDefinitionData::Sheet **sheet) override
    {
        *sheet = &buffer.GetChartDefinition()->Sheets[0];
        return 0;
    }
    unsigned GetCurrentChartPageIndex() override { return buffer.GetCurrentChartPageIndex(); }
    bool IsFirstSheet() override { return buffer.IsFirstSheet(); }
    bool IsAllSheetsMeasured() override { return buffer.IsAllSheetsMeasured(); }
    bool IsMeasureDataLimitReached() override { return false; }
    bool IsPageMeasured() override { return buffer.IsCurrentPageComplete(); }
    unsigned GetCurrentRecordCount() override { return buffer.GetCurrentRecordCount(); }
    unsigned GetExpectedRecordCount() override { return buffer.GetExpectedRecordCount(); }
    int GetMeasurementSheetCount() override { return buffer.GetMeasurement()->SheetCount; }
    void SetPlannedSheetCount(unsigned count) override { buffer.SetPlannedSheetCount(count); }
    void SetChartRowsColumnsSwapped(bool swapped) override { buffer.SetRowsColumnsSwapped(swapped); }
    int SelectChartFromJobNumber(int) override { return 0; }
    bool HandleScannedBarcode(const SheetInfoRecord &) override { return true; }
    bool HasReadBarcodes() override { return false; }
    void KeepJobSheetBarcode(const SheetInfoRecord &) override {}
    QString GetDeviceCodeA(const SheetInfoRecord &) override { return QString(); }
    QString GetDeviceCodeB(const SheetInfoRecord &) override { return QString(); }
    int SelectDensityChartForScannedChart(unsigned, unsigned, const QString &) override { return 0; }
    int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                             unsigned count) override
    {
        return buffer.SetRecognitionResult(layout, image, points, count, 1);
    }
    int SetSheetImage(const OrloImage *image, int pageMode) override
    {
        buffer.SetSheetImage(image, pageMode);
        return 0;
    }
    int StoreMeasuredPatch(int patch, const int location[3], int, const float *block,
                           const PatchColorResult &colors) override
    {
        const int r = buffer.SetPatchMeasurement(patch, location, block, colors, CDataBuffer::ModeRecord);
        if (r == 0 && buffer.IsCurrentPageComplete())
            FinishDesignationSheet(false);
        return r;
    }
    int StoreMeasuredPatchDensity(int patch, const int location[3], int count, const float *block,
                                  const PatchColorResult &colors) override
    {
        return StoreMeasuredPatch(patch, location, count, block, colors);
    }
    int FinishDesignationSheet(bool) override
    {
        ++finished;
        buffer.MarkPageStored();
        buffer.ResetPosition();
        buffer.SetPlannedSheetCount(0);
        return 0;
    }
    int FinishRecognitionMeasure() override { return 0; }
    void ClearPendingMeasurement() override {}
    void ResetMeasurementBuffer() override {}
    void SaveMeasurementAfterScan() override {}
    void SaveDensityMeasurementAfterScan() override {}
    int DeleteSelectedChartJob() override { return 0; }
};

void BM_ControllerRun(benchmark::State &state)
{
    constexpr int rows = 40, columns = 50, patches = rows * columns;
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    RunHost host;
    host.selected.JobNumber = 1;
    host.selected.SheetCount = 1;
    host.selected.Recog = 1;
    host.selected.Diameter = 1;
    const OrloLayoutRecord layout = GridLayout(rows, columns);
    const std::vector<OrloMeasurePoint> points = GridPoints(rows, columns);
    ChartDefinitionDataSheets *chart = host.buffer.GetChartDefinition();
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    sheet.Width = layout.width;
    sheet.Height = layout.height;
    sheet.AreaCount = 1;
    sheet.PatchCount = patches;
    sheet.Areas[0] = {rows, columns, patches};
    sheet.Placements[0] = {400, 400, 500, 500, 600, 600};
    Clock::duration spent{};
    {
        COrloSDKController controller(&host);
        Setting::ConnectSetting settings;
        settings.Port = QStringLiteral("usb0");
        controller.Connect(&settings);
        OrloSim_DeliverPending();
        // A tiny blank sheet: the capture costs nothing, the recognition is scripted.
        const OrloSimSheet blank = {2000, 2000, 0, nullptr, nullptr, nullptr, 0, 0, 0};
        for (auto _ : state) {
            const auto start = Clock::now();
            OrloSim_SetNextRecognition(0, &layout, points.data(), patches);
            OrloSim_InsertSheet(&blank);
            OrloSim_DeliverPending();
            spent += Clock::now() - start;
        }
        controller.Disconnect();
    }
    state.counters["us_per_patch"] = Ms(spent) * 1000.0 / (double(state.iterations()) * patches);
    state.counters["sheets_finished"] = host.finished;
    OrloSim_Reset();
}
BENCHMARK(BM_ControllerRun)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
