// The main window's data list at the store's limits: both trees rebuilt from lists in memory, 600 chart
// definitions with 6,000 measurements and 100 recognition measurements, columns resized to their contents.
// A real window on the offscreen platform, shown. Run by hand from a Release build:
//   build/rel/bin/bench_datalist --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Only the two rebuilds are timed; the events they leave are handled between iterations, untimed.

#include "app/model.h"
#include "mainwindow/vcmainwindow.h"

#include "widgetbenchmain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCharts = 600;
constexpr int kMeasuresPerChart = 10;
constexpr int kRecognitions = 100;
constexpr int kPatches = 1200;

QString Time(int i)
{
    return QStringLiteral("2026/%1/%2 %3:%4:00")
        .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
        .arg(i % 24, 2, 10, QLatin1Char('0'))
        .arg(i % 60, 2, 10, QLatin1Char('0'));
}

void BM_RebuildDataList(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("HOME", (home.path() + QStringLiteral("/home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QStringList arguments{QStringLiteral("Varemo")};
    CModel model(nullptr, &arguments);
    if (model.Initialize() != 0) {
        state.SkipWithError("the model did not start");
        return;
    }
    Setting::UserEnvironment environment = *model.GetUserEnvironment();
    environment.AutoConnect = false;
    environment.DatalistColumns.Column3 = true;
    model.SetUserEnvironment(environment);

    QList<ChartDesigData> charts;
    QList<ChartDesigMeasureData> measures;
    QList<ChartRecogData> recognitions;
    int measureId = 1;
    for (int c = 1; c <= kCharts; ++c) {
        ChartDesigData chart;
        chart.ID = c;
        chart.SheetCount = 1 + c % 7;
        chart.ChartPatchCount = kPatches;
        chart.Diameter = c % 5;
        chart.ChartName = QStringLiteral("Chart definition %1").arg(c, 3, 10, QLatin1Char('0'));
        chart.CreateTime = Time(c);
        charts << chart;
        for (int m = 0; m < kMeasuresPerChart; ++m, ++measureId) {
            ChartDesigMeasureData measure;
            measure.ID = measureId;
            measure.ChartID = c;
            // Every third one incomplete, so the error colour is part of the work.
            measure.RecordCount = measureId % 3 == 0 ? kPatches / 2 : kPatches;
            measure.Diameter = chart.Diameter;
            measure.ChartName = QStringLiteral("Meas%1").arg(measureId, 5, 10, QLatin1Char('0'));
            measure.CreateTime = Time(measureId);
            measures << measure;
        }
    }
    for (int r = 1; r <= kRecognitions; ++r) {
        ChartRecogData recognition;
        recognition.ID = r;
        recognition.RecordCount = r % 10 == 0 ? 0 : kPatches;
        recognition.ChartName = QStringLiteral("%1").arg(r, 5, 10, QLatin1Char('0'));
        recognition.CreateTime = Time(r);
        recognitions << recognition;
    }

    CVCMainWindow window(&model);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        const auto start = Clock::now();
        window.ReadDesignationChartFinished(charts, measures);
        window.ReadRecognitionMeasureFinished(recognitions);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        QApplication::processEvents();
    }
    state.counters["items"] = double(kCharts + kCharts * kMeasuresPerChart + kRecognitions);
}

} // namespace

BENCHMARK(BM_RebuildDataList)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
