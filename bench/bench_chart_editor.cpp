// The chart editor dialog at its largest, over a real model on a temporary data folder: an area dropped in place
// on a page with one 244-row, 53-column area (page to sheet, drawing, duplicate check), the patch table rebuilt and
// filled for that area's 12,932 rows as its tree item is chosen, and the switch to the Scramble tab for a 10-page
// chart of one 20 x 30 area per page. The dialog runs its own modal loop; the timing runs inside it. Run by hand
// from a Release build:
//   build/release/bin/bench_chart_editor --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Only the call itself is timed; the events it leaves are handled between iterations, untimed.

#include "app/model.h"
#include "app/recordhelpers.h"
#include "chart/vccreatechart.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 244;
constexpr int kColumns = 53;

CModel *g_model = nullptr;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// pages x (one rows x columns RGB area of 6 mm patches at a 6 mm pitch) on the largest custom page.
void MakeChart(ChartDefinitionDataSheets *chart, int pages, int rows, int columns)
{
    InitChartDefinitionData(chart);
    chart->SheetCount = pages;
    chart->ChartName = QStringLiteral("BENCH");
    chart->Recog = 4;
    chart->Diameter = 1;
    chart->Sheets = NewChartSheets(size_t(pages));
    int id = 1;
    for (int p = 0; p < pages; ++p) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[p];
        sheet.Width = 32900;
        sheet.Height = 150000;
        sheet.AreaCount = 1;
        sheet.Areas[0] = {rows, columns, rows * columns};
        sheet.Placements[0] = {400, 1500, 600, 600, 600, 600};
        sheet.PatchCount = rows * columns;
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        for (int i = 0; i < sheet.PatchCount; ++i) {
            ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
            patch.ID = (id++ - 1) % CreateChartCore::kMaxId + 1; // the largest area needs more IDs than there are
            patch.Row = i / columns;
            patch.Column = i % columns;
            patch.ColorFormat = ChartDefinitionData::FormatRGB;
            patch.ColorValue[0] = float(i % 256);
            patch.ColorValue[1] = float((i * 3) % 256);
            patch.ColorValue[2] = float((i * 7) % 256);
        }
        chart->ChartPatchCount += sheet.PatchCount;
    }
}

// Opens the editor on the chart and runs body inside its modal loop, then closes it without the save question.
void RunEditor(benchmark::State &state, int pages, int rows, int columns,
               const std::function<void(CVCCreateChart &)> &body)
{
    ChartDefinitionDataSheets chart;
    MakeChart(&chart, pages, rows, columns);
    CVCCreateChart dialog(g_model, 0);
    const bool loaded = dialog.SetChartDefinition(&chart);
    ClearChartDefinitionData(&chart);
    if (!loaded) {
        state.SkipWithError("the editor refused the chart");
        return;
    }
    dialog.resize(1280, 1024);
    QTimer::singleShot(0, &dialog, [&dialog, &body] {
        QApplication::processEvents();
        body(dialog);
        dialog.QDialog::done(0);
    });
    dialog.exec();
}

void BM_RefreshLargestArea(benchmark::State &state)
{
    RunEditor(state, 1, kRows, kColumns, [&state](CVCCreateChart &dialog) {
        for (auto _ : state) {
            const Clock::time_point start = Clock::now();
            dialog.AreaMoved(0, QSize(0, 0));
            state.SetIterationTime(SecondsSince(start));
            QApplication::processEvents();
        }
    });
    state.SetLabel("244 x 53 patches, area dropped in place");
}

void BM_PatchTable(benchmark::State &state)
{
    RunEditor(state, 1, kRows, kColumns, [&state](CVCCreateChart &dialog) {
        auto *tree = dialog.findChild<QTreeWidget *>(QStringLiteral("treeLayout"));
        auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("tablePatch"));
        QTreeWidgetItem *paper = tree->topLevelItem(0);
        QTreeWidgetItem *area = tree->topLevelItem(1);
        for (auto _ : state) {
            // Choosing the paper empties the table; choosing the area rebuilds it from nothing.
            tree->setCurrentItem(paper);
            QApplication::processEvents();
            const Clock::time_point start = Clock::now();
            tree->setCurrentItem(area);
            state.SetIterationTime(SecondsSince(start));
            QApplication::processEvents();
        }
        state.counters["rows"] = table->rowCount();
    });
    state.SetLabel("area item chosen: table rebuilt and filled");
}

void BM_ScrambleTab(benchmark::State &state)
{
    RunEditor(state, 10, 20, 30, [&state](CVCCreateChart &dialog) {
        auto *tabs = dialog.findChild<QTabWidget *>(QStringLiteral("tabChartCanvas"));
        for (auto _ : state) {
            tabs->setCurrentIndex(0);
            QApplication::processEvents();
            const Clock::time_point start = Clock::now();
            tabs->setCurrentIndex(1);
            state.SetIterationTime(SecondsSince(start));
            QApplication::processEvents();
        }
        state.counters["pages"] = dialog.Core().PageLists[CreateChartCore::ScrambleList].size();
    });
    state.SetLabel("10 pages of one 20 x 30 area");
}

} // namespace

BENCHMARK(BM_RefreshLargestArea)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PatchTable)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ScrambleTab)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A fresh per-user world: the model files its data and settings there, never in the real home.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("HOME", (home.path() + QStringLiteral("/home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(Resource);
    QStringList arguments{QStringLiteral("Varemo")};
    CModel model(nullptr, &arguments);
    if (model.Initialize() != 0) {
        std::fprintf(stderr, "bench_chart_editor: the model did not start\n");
        return 1;
    }
    g_model = &model;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
