// The chart views at their largest: drawing one 244-row, 53-column area (12,932 patches) on the largest custom
// page, applying a fully measured page of it to the drawn patches, and drawing an A3 page captured at 300 dpi
// (3507 x 4960 grey bytes) with 2,000 measured points. Real views on the offscreen platform, shown, at a fixed
// 96 dpi so the figures do not depend on the platform's screen. Run by hand from a Release build:
//   build/r/bin/bench_chart_views --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Only the call itself is timed; the events it leaves (scene updates, the repaint) are handled between
// iterations, untimed, so they never pile up.

#include "chart/vcchartgraphicspatch.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"

#include "widgetbenchmain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGraphicsScene>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kViewDpi = 96;
constexpr int kRows = 244;
constexpr int kColumns = 53;
constexpr int kPatchCount = kRows * kColumns;

// The largest custom page (329 x 1500 mm) with one area of 6 mm patches at a 6 mm pitch.
std::unique_ptr<ChartDefinitionData::Sheet> LargestSheet()
{
    auto sheet = std::make_unique<ChartDefinitionData::Sheet>();
    sheet->Width = 32900;
    sheet->Height = 150000;
    sheet->AreaCount = 1;
    sheet->Areas[0] = {kRows, kColumns, kPatchCount};
    sheet->Placements[0] = {400, 1500, 600, 600, 600, 600};
    sheet->PatchCount = kPatchCount;
    sheet->Patches = std::make_unique<ChartDefinitionData::PatchColor[]>(kPatchCount);
    for (int i = 0; i < kPatchCount; ++i) {
        ChartDefinitionData::PatchColor &p = sheet->Patches[i];
        p.ID = i + 1;
        p.Row = i / kColumns;
        p.Column = i % kColumns;
        p.ColorFormat = ChartDefinitionData::FormatCMYK;
        for (int k = 0; k < 4; ++k)
            p.ColorValue[k] = float((i * 7 + k * 13) % 101);
    }
    return sheet;
}

// A measured record for every patch of the sheet, each with its colour.
std::unique_ptr<MeasurementData> MeasuredPage(const ChartDefinitionData::Sheet &sheet)
{
    auto page = std::make_unique<MeasurementData>();
    page->PageNumber = 1;
    page->RecordCount = sheet.PatchCount;
    page->MeasuredCount = sheet.PatchCount;
    page->Records = std::make_unique<MeasurementData::PatchData[]>(sheet.PatchCount);
    const ChartDefinitionData::AreaPlacement &place = sheet.Placements[0];
    for (int i = 0; i < sheet.PatchCount; ++i) {
        const ChartDefinitionData::PatchColor &p = sheet.Patches[i];
        MeasurementData::PatchData &r = page->Records[i];
        r.ID = p.ID;
        r.Area = p.Area;
        r.Row = p.Row;
        r.Column = p.Column;
        r.X = place.LeftTopX + p.Column * place.PatchWidthGap + place.PatchWidth / 2;
        r.Y = place.LeftTopY + p.Row * place.PatchHeightGap + place.PatchHeight / 2;
        r.ColorFormat = ChartDefinitionData::FormatRGB;
        r.ColorValue[0] = float(i % 256);
        r.ColorValue[1] = float((i * 3) % 256);
        r.ColorValue[2] = float((i * 5) % 256);
    }
    return page;
}

// An A3 page scanned at 300 dpi, one grey byte per pixel, with measured points on a 40 x 50 grid.
constexpr int kScanWidth = 3507;
constexpr int kScanHeight = 4960;
constexpr int kMarkerRows = 50;
constexpr int kMarkerColumns = 40;

std::unique_ptr<MeasurementData> CapturedA3Page()
{
    auto page = std::make_unique<MeasurementData>();
    page->Width = kScanWidth;
    page->Height = kScanHeight;
    page->BitPerPixel = 8;
    page->ImageDPI = 300;
    page->PageNumber = 1;
    page->ImageBytes = std::make_unique<unsigned char[]>(size_t(kScanWidth) * kScanHeight);
    for (int y = 0; y < kScanHeight; ++y) {
        for (int x = 0; x < kScanWidth; ++x)
            page->ImageBytes[size_t(y) * kScanWidth + x] = uchar((x / 8) ^ (y / 8));
    }
    const int count = kMarkerRows * kMarkerColumns;
    page->RecordCount = count;
    page->MeasuredCount = count;
    page->Records = std::make_unique<MeasurementData::PatchData[]>(count);
    for (int i = 0; i < count; ++i) {
        MeasurementData::PatchData &r = page->Records[i];
        r.ID = i + 1;
        r.Row = i / kMarkerColumns;
        r.Column = i % kMarkerColumns;
        r.X = 2000 + r.Column * 650; // 0.01 mm, inside 297 x 420 mm
        r.Y = 3000 + r.Row * 750;
        r.ColorFormat = ChartDefinitionData::FormatRGB;
    }
    return page;
}

template<class View>
void ShowView(View &view)
{
    view.SetResolution(kViewDpi, kViewDpi);
    view.resize(1280, 1024);
    view.show();
    QApplication::processEvents();
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_DrawSheet(benchmark::State &state)
{
    const auto sheet = LargestSheet();
    CVCChartGraphicsView view;
    ShowView(view);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        state.SetIterationTime(SecondsSince(start));
        QApplication::processEvents();
    }
    int patches = 0;
    for (QGraphicsItem *item : view.scene()->items())
        patches += qobject_cast<CVCChartGraphicsPatch *>(item->toGraphicsObject()) ? 1 : 0;
    state.counters["patches"] = patches;
    state.SetLabel("244 x 53 patches, no page image");
}

void BM_ShowPatchColors(benchmark::State &state)
{
    const auto sheet = LargestSheet();
    const auto page = MeasuredPage(*sheet);
    CVCChartGraphicsView view;
    ShowView(view);
    view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
    QApplication::processEvents();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        view.ShowPatchColors(page.get());
        state.SetIterationTime(SecondsSince(start));
        QApplication::processEvents();
    }
    state.counters["records"] = page->RecordCount;
    state.SetLabel("every patch measured");
}

void BM_DrawMeasurement(benchmark::State &state)
{
    const auto page = CapturedA3Page();
    CVCMeasuredPointGraphicsView view;
    ShowView(view);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        view.DrawMeasurement(page.get());
        state.SetIterationTime(SecondsSince(start));
        QApplication::processEvents();
    }
    state.counters["markers"] = page->RecordCount;
    state.SetLabel("A3 at 300 dpi, 3507 x 4960 grey");
}

} // namespace

BENCHMARK(BM_DrawSheet)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ShowPatchColors)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DrawMeasurement)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
