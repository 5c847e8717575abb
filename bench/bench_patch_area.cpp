// The patch-area editor's work on its largest page: one measured area of 244 rows and 53 columns (12,932 points)
// on the largest custom page. Timed: deleting 1,000 selected markers through one DeleteCommand and undoing it in
// a shown editing view; building the deleted-point list from that command and folding it into the page (the
// working buffer's regrouping the editor's fold goes through); appending a 20 x 20 area of new points. The
// deleted points are the first 1,000 in reading order, so the fold ends in two areas and does all of its work
// (scattered deletions would stop it at the 50-area limit). Run by hand from a Release build:
//   build/release/bin/bench_patch_area --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Only the operation is timed; copies of the page and the events the scene leaves are handled untimed.

#include "app/databuffer.h"
#include "app/recordhelpers.h"
#include "chart/patchareacore.h"
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifypatcharea.h"

#include "widgetbenchmain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGraphicsScene>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kViewDpi = 96;
constexpr int kScanDpi = 300;
constexpr int kRows = 244;
constexpr int kColumns = 53;
constexpr int kPatchCount = kRows * kColumns;
constexpr int kDeleted = 1000;
constexpr int kPageWidth = 32900;   // 0.01 mm
constexpr int kPageHeight = 150000; // 0.01 mm
constexpr ChartDefinitionData::AreaPlacement kPlacement = {400, 1500, 600, 600, 600, 600};

// A one-sheet chart of the area and its measured entry, a point at every patch centre.
void MakePage(ChartDefinitionDataSheets *chart, MeasurementData *entry)
{
    InitChartDefinitionData(chart);
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    Sheet &sheet = chart->Sheets[0];
    sheet.Width = kPageWidth;
    sheet.Height = kPageHeight;
    sheet.AreaCount = 1;
    sheet.Areas[0] = {kRows, kColumns, kPatchCount};
    sheet.Placements[0] = kPlacement;
    sheet.PatchCount = kPatchCount;
    sheet.Patches = NewChartPatches(kPatchCount);
    chart->ChartPatchCount = kPatchCount;

    entry->PageNumber = 1;
    entry->Width = kPageWidth * kScanDpi / 2540;
    entry->Height = kPageHeight * kScanDpi / 2540;
    entry->ImageDPI = kScanDpi;
    entry->RecordCount = kPatchCount;
    entry->MeasuredCount = kPatchCount;
    entry->Records = NewMeasurementRecords(kPatchCount);
    for (int i = 0; i < kPatchCount; ++i) {
        PatchColor &p = sheet.Patches[i];
        p.ID = i + 1;
        p.Row = i / kColumns;
        p.Column = i % kColumns;
        p.ColorFormat = ChartDefinitionData::FormatRGB;
        MeasurementData::PatchData &r = entry->Records[i];
        r.ID = i;
        r.Row = p.Row;
        r.Column = p.Column;
        r.X = kPlacement.LeftTopX + p.Column * kPlacement.PatchWidthGap + kPlacement.PatchWidth / 2;
        r.Y = kPlacement.LeftTopY + p.Row * kPlacement.PatchHeightGap + kPlacement.PatchHeight / 2;
        r.ColorFormat = ChartDefinitionData::FormatRGB;
    }
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The editing view of the page, shown, with every marker drawn.
struct ShownPage {
    ChartDefinitionDataSheets chart;
    MeasurementData entry;
    CVCEditMeasuredPointGraphicsView view;

    ShownPage()
    {
        MakePage(&chart, &entry);
        view.SetResolution(kViewDpi, kViewDpi);
        view.resize(1280, 1024);
        view.show();
        view.DrawMeasurement(&entry);
        QApplication::processEvents();
    }
    ~ShownPage() { ClearChartDefinitionData(&chart); }

    // Selects the first kDeleted markers in reading order; the number selected.
    int SelectDeleted()
    {
        int selected = 0;
        for (QGraphicsItem *item : view.scene()->items()) {
            auto *marker = dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item);
            if (!marker)
                continue;
            int area = 0, row = 0, column = 0;
            marker->GetIndices(&area, &row, &column);
            const bool deleted = row * kColumns + column < kDeleted;
            marker->setSelected(deleted);
            selected += deleted ? 1 : 0;
        }
        return selected;
    }
};

void BM_DeleteAndUndo(benchmark::State &state)
{
    ShownPage page;
    int selected = 0;
    for (auto _ : state) {
        selected = page.SelectDeleted();
        QApplication::processEvents();
        const Clock::time_point start = Clock::now();
        {
            DeleteCommand command(page.view.scene());
            command.redo();
            command.undo();
        }
        state.SetIterationTime(SecondsSince(start));
        QApplication::processEvents();
    }
    state.counters["markers"] = selected;
    state.SetLabel("of 12,932 markers, one command");
}

void BM_DeletedListAndFold(benchmark::State &state)
{
    ShownPage page;
    page.SelectDeleted();
    DeleteCommand command(page.view.scene());
    command.redo();
    CDataBuffer buffer(nullptr);
    int areas = 0;
    for (auto _ : state) {
        Sheet sheet;
        MeasurementData entry;
        CopySheetData(&sheet, page.chart.Sheets[0]);
        CopyMeasurementPage(&entry, page.entry);
        const Clock::time_point start = Clock::now();
        // As the editor reads its history: the grid place of every marker the commands in effect hold.
        QVector<PatchAreaCore::GridPoint> points;
        points.reserve(command.Items().size());
        for (const CVCMeasuredPointGraphicsPatch *item : command.Items()) {
            PatchAreaCore::GridPoint point;
            item->GetIndices(&point.area, &point.row, &point.column);
            points.append(point);
        }
        const QList<PatchColor> removed = PatchAreaCore::DeletedPointList({points}, 1);
        const int result = buffer.BuildPageMeasurePoints(&sheet, &entry, &sheet, &entry, removed);
        state.SetIterationTime(SecondsSince(start));
        if (result != 0 || entry.RecordCount != kPatchCount - kDeleted) {
            state.SkipWithError("the fold failed");
            break;
        }
        areas = sheet.AreaCount;
    }
    command.undo();
    state.counters["areas"] = areas;
    state.SetLabel("1,000 points out of 12,932");
}

void BM_AddAreaToPage(benchmark::State &state)
{
    ChartDefinitionDataSheets chart;
    MeasurementData entry;
    MakePage(&chart, &entry);
    Sheet added;
    added.AreaCount = 1;
    added.Areas[0] = {20, 20, 400};
    added.Placements[0] = {1000, 1000, 500, 500, 600, 600};
    int records = 0;
    for (auto _ : state) {
        ChartDefinitionDataSheets target;
        MeasurementData targetEntry;
        CopyChartDefinitionData(&target, chart);
        CopyMeasurementPage(&targetEntry, entry);
        const Clock::time_point start = Clock::now();
        const int result = PatchAreaCore::AddAreaToPage(&target, 0, &targetEntry, added,
                                                        ChartDefinitionData::FormatRGB, 255.0f);
        state.SetIterationTime(SecondsSince(start));
        records = targetEntry.RecordCount;
        ClearChartDefinitionData(&target);
        if (result != 0) {
            state.SkipWithError("the area was refused");
            break;
        }
    }
    ClearChartDefinitionData(&chart);
    state.counters["records"] = records;
    state.SetLabel("20 x 20 onto 12,932 points");
}

} // namespace

BENCHMARK(BM_DeleteAndUndo)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DeletedListAndFold)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_AddAreaToPage)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
