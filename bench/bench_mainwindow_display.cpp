// The main window's chart canvas during and after a run, on a real window on the offscreen platform, shown:
// - a page of 2,000 patches coloured one by one as the model reports them (progress row and view included),
//   reported per patch;
// - a click on a patch of a 3,000-patch measurement with all 20 measurement conditions on (five user illuminants
//   registered), values, same-colour averages, value tree and spectral series included, reported per click.
// Run by hand from a Release build:
//   build/rel/bin/bench_mainwindow_display --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Events left by the timed part are handled between iterations, untimed.

#include "app/constants.h"
#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "mainwindow/vcmainwindow.h"
#include "tests/app/modelaccess.h"

#include "widgetbenchmain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColourRows = 40, kColourColumns = 50, kColourPatches = kColourRows * kColourColumns;
constexpr int kClickRows = 50, kClickColumns = 60, kClickPatches = kClickRows * kClickColumns;

// A fresh per-user world for the model, removed with the object.
struct BenchHome {
    QTemporaryDir home;
    BenchHome()
    {
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("HOME", (home.path() + QStringLiteral("/home")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    }
};

// One page of rows x columns RGB patches in one area, 3 mm patches on a 4 mm pitch; 16 colours repeat over it.
void MakeOnePageChart(ChartDefinitionDataSheets *chart, int rows, int columns)
{
    InitChartDefinitionData(chart);
    chart->ChartName = QStringLiteral("BENCHDISPLAY");
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    sheet.Width = 1000 + columns * 400 + 1000;
    sheet.Height = 1000 + rows * 400 + 1000;
    sheet.AreaCount = 1;
    sheet.Areas[0] = {rows, columns, rows * columns};
    sheet.Placements[0] = {1000, 1000, 300, 300, 400, 400};
    sheet.PatchCount = rows * columns;
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float v = float(16 * (k % 16));
        sheet.Patches[k] = {k + 1, 0, k / columns, k % columns, 1, {v, 255.0f - v, 128.0f}};
    }
    chart->ChartPatchCount = sheet.PatchCount;
}

CModel *StartModel(QStringList *arguments)
{
    auto *model = new CModel(nullptr, arguments);
    if (model->Initialize() != 0) {
        delete model;
        return nullptr;
    }
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.AutoConnect = false;
    model->SetUserEnvironment(environment);
    return model;
}

void BM_SetPatchColorDisplay(benchmark::State &state)
{
    BenchHome home;
    QStringList arguments{QStringLiteral("Varemo")};
    std::unique_ptr<CModel> model(StartModel(&arguments));
    if (!model) {
        state.SkipWithError("the model did not start");
        return;
    }
    ChartDefinitionDataSheets chart;
    MakeOnePageChart(&chart, kColourRows, kColourColumns);
    CVCMainWindow window(model.get());
    window.show();
    window.SetChartDisplay(&chart, 1, 0, kColourPatches, 1);
    QApplication::processEvents();
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int k = 0; k < kColourPatches; ++k) {
            const float v = float(k % 256);
            window.SetPatchColorDisplay(uint(k), kColourPatches, 0, k / kColourColumns, k % kColourColumns, 1, v,
                                        128.0f, 255.0f - v, 0, 0, 0, 0, 0);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        QApplication::processEvents();
    }
    // Seconds per patch, shown with its SI prefix (u for microseconds).
    state.counters["per_patch"] = benchmark::Counter(double(state.iterations()) * kColourPatches,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ClearChartDefinitionData(&chart);
}

QByteArray LightSourceFile(int variant)
{
    QByteArray text("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n\n#FORMAT_VERSION,01.00\n\n#CREATE_TIME,20230101000000\n\n"
                    "#INSTRUMENTATION,Velmar Ostrand Brisa\n\n#BEGIN_WAVELENGTH,300\n\n#PITCH_WAVELENGTH,5\n\n"
                    "#END_WAVELENGTH,780\n\n#BEGIN_SPECTRUM_DATA\n");
    for (int i = 0; i < 97; ++i)
        text += QByteArray::number(1.0 + i * (0.5 + 0.1 * variant), 'f', 4) + '\n';
    return text + "#END_SPECTRUM_DATA\n";
}

bool RegisterUserIlluminants(CModel *model, const QString &folder)
{
    for (int i = 0; i < kUserIlluminantSlotCount; ++i) {
        const QString path = folder + QStringLiteral("/light%1.uid2").arg(i);
        QFile file(path);
        const QByteArray bytes = LightSourceFile(i);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
        file.close();
        UserIlluminantSlot slot;
        if (model->ImportUserIlluminantFromFile(&slot, path, 0, QStringLiteral("Light %1").arg(i)) != 0)
            return false;
    }
    return true;
}

// The chart and a measurement of every patch in the store, selected into the model's buffer.
bool SelectMeasuredChart(CModel *model)
{
    CDocumentData *store = CModelAccess::DocumentData(*model);
    ChartDefinitionDataSheets chart;
    MakeOnePageChart(&chart, kClickRows, kClickColumns);
    bool done = store->CreateDesignationChart(&chart) == kDocumentOk;
    const int chartId = done ? store->GetDesignationCharts()->last().ID : 0;

    MeasurementDataSheets measurement;
    InitMeasureFileData(&measurement);
    measurement.SerialNumber = QStringLiteral("ORS00001");
    measurement.SheetCount = 1;
    measurement.Sheets = NewMeasurementPages(1);
    MeasurementData &page = measurement.Sheets[0];
    page.PageNumber = 1;
    page.RecordCount = page.MeasuredCount = kClickPatches;
    page.Records = NewMeasurementRecords(kClickPatches);
    for (int k = 0; k < kClickPatches; ++k) {
        const ChartDefinitionData::PatchColor &patch = chart.Sheets[0].Patches[k];
        MeasurementData::PatchData &record = page.Records[k];
        record.ID = patch.ID;
        record.Area = patch.Area;
        record.Row = patch.Row;
        record.Column = patch.Column;
        record.X = 1150 + patch.Column * 400;
        record.Y = 1150 + patch.Row * 400;
        record.ColorFormat = 1;
        std::fill(record.Values, record.Values + kInstrumentValueCount, 0.2f + 0.0001f * float(k % 1000));
    }
    int measureId = 0;
    done = done && store->CreateDesignationMeasure(&measureId, chartId, &measurement) == kDocumentOk;
    ClearMeasureFileData(&measurement);
    ClearChartDefinitionData(&chart);
    return done && model->SelectFileID(CModel::KindDesignationChart, chartId, 0) == 0 &&
           model->SelectFileID(CModel::KindDesignationMeasure, measureId, chartId) == 0;
}

void BM_SelectPatch(benchmark::State &state)
{
    BenchHome home;
    QStringList arguments{QStringLiteral("Varemo")};
    std::unique_ptr<CModel> model(StartModel(&arguments));
    if (!model || !RegisterUserIlluminants(model.get(), home.home.path()) || !SelectMeasuredChart(model.get())) {
        state.SkipWithError("the model or its documents did not start");
        return;
    }
    Setting::MeasureConditionSetting conditions = *model->GetMeasurementCondition(0);
    conditions.ConditionMask = 0;
    for (int id = 0; id < kMeasurementConditionCount; ++id)
        conditions.ConditionMask |= MeasurementConditionBit(id);
    conditions.DensityShown = 1;
    conditions.WhiteReference = 0;
    conditions.ColorSpaceShown = conditions.LabShown = conditions.LchShown = conditions.XyzShown = 1;
    conditions.SpectralShown = 1;
    model->SetMeasureCondition(conditions, 0);

    CVCMainWindow window(model.get());
    window.show();
    QApplication::processEvents();
    int k = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        window.SelectPatch(0, (k / kClickColumns) % kClickRows, k % kClickColumns);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        k += 37;
        QApplication::processEvents();
    }
    state.counters["conditions"] = double(MeasurementConditionIdsFromMask(conditions.ConditionMask).size());
}

} // namespace

BENCHMARK(BM_SetPatchColorDisplay)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SelectPatch)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
