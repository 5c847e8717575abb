// A registered chart of twenty pages with 1,000 patches each measured through the application model: the
// simulated scanner in manual delivery, a tiny blank sheet and a scripted recognition, so what is timed is the
// model's part (storing every patch, its display signal, the measurement document written per page). The first
// and the last page of a run are timed apart: the document grows with every page.

#include "app/databuffer.h"
#include "app/model.h"
#include "app/orlobuilders.h"
#include "app/recordhelpers.h"
#include "tests/app/modelaccess.h"

#include "OrloSim.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <vector>

namespace {

constexpr int kRows = 25, kColumns = 40, kPatchesPerPage = kRows * kColumns, kPages = 20;

using Clock = std::chrono::steady_clock;

void MakeChart(ChartDefinitionDataSheets *chart)
{
    InitChartDefinitionData(chart);
    chart->ChartName = QStringLiteral("BENCHRUN");
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->SheetCount = kPages;
    chart->Sheets = NewChartSheets(kPages);
    int id = 1;
    for (int p = 0; p < kPages; ++p) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[p];
        sheet.Width = 20000;
        sheet.Height = 15000;
        sheet.AreaCount = 1;
        sheet.Areas[0] = {kRows, kColumns, kPatchesPerPage};
        sheet.Placements[0] = {1000, 1000, 400, 400, 450, 450};
        sheet.PatchCount = kPatchesPerPage;
        sheet.Patches = NewChartPatches(kPatchesPerPage);
        for (int k = 0; k < kPatchesPerPage; ++k) {
            const float v = float((k * 7 + p * 31) % 256);
            sheet.Patches[k] = {id++, 0, k / kColumns, k % kColumns, 1, {v, 255.0f - v, 128.0f}};
        }
        chart->ChartPatchCount += kPatchesPerPage;
    }
}

struct ScriptedPage {
    OrloLayoutRecord layout;
    std::vector<OrloMeasurePoint> points;
};

ScriptedPage ScriptPage(const ChartDefinitionData::Sheet &sheet)
{
    ScriptedPage page;
    BuildLayoutRecord(sheet, &page.layout, nullptr);
    const ChartDefinitionData::AreaPlacement &g = sheet.Placements[0];
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            page.points.push_back({g.LeftTopX + c * g.PatchWidthGap + g.PatchWidth / 2,
                                   g.LeftTopY + r * g.PatchHeightGap + g.PatchHeight / 2, 0, r, c});
    return page;
}

void BM_ModelRun(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    QStringList arguments{QStringLiteral("Varemo")};
    Clock::duration spent{};
    std::vector<Clock::duration> spentOnPage(kPages);
    long long pages = 0, patches = 0, displayed = 0, finished = 0;
    {
        CModel model(nullptr, &arguments);
        if (model.Initialize() != 0) {
            state.SkipWithError("model initialisation failed");
            return;
        }
        QObject::connect(&model, &CModel::SetPatchColorDisplay, [&displayed] { ++displayed; });
        QObject::connect(&model, &CModel::MeasurementFinished, [&finished] { ++finished; });
        ChartDefinitionDataSheets chart;
        MakeChart(&chart);
        const int created = model.CreateDesignationChart(&chart);
        ClearChartDefinitionData(&chart);
        const int id = created == 0 ? model.GetDesignationCharts()->last().ID : 0;
        Setting::ConnectSetting settings;
        settings.Port = QStringLiteral("usb0");
        CModelAccess::ApplicationData(model)->SetConnectionSetting(settings);
        if (id == 0 || model.SelectFileID(CModel::KindDesignationChart, id, id) != 0 || model.ConnectOrlo(false) != 0) {
            state.SkipWithError("chart or scanner not ready");
            return;
        }
        // A selected chart definition makes a sheet without QR code a registered run.
        model.SetDataTreeMode(1);
        OrloSim_DeliverPending();
        std::vector<ScriptedPage> script;
        for (int p = 0; p < kPages; ++p)
            script.push_back(ScriptPage(model.GetChartDefinition()->Sheets[p]));
        const OrloSimSheet blank = {2000, 2000, 0, nullptr, nullptr, nullptr, 0, 0, 0};
        for (auto _ : state) {
            for (int p = 0; p < kPages; ++p) {
                const ScriptedPage &page = script[size_t(p)];
                const auto start = Clock::now();
                OrloSim_SetNextRecognition(0, &page.layout, page.points.data(), int(page.points.size()));
                OrloSim_InsertSheet(&blank);
                OrloSim_DeliverPending();
                const Clock::duration took = Clock::now() - start;
                spent += took;
                spentOnPage[size_t(p)] += took;
                ++pages;
                patches += kPatchesPerPage;
            }
        }
        model.DisconnectOrlo();
    }
    const double ms = std::chrono::duration<double, std::milli>(spent).count();
    const auto msOnPage = [&](int p) {
        const double runs = double(pages / kPages);
        return runs > 0 ? std::chrono::duration<double, std::milli>(spentOnPage[size_t(p)]).count() / runs : 0.0;
    };
    state.counters["ms_per_page"] = pages > 0 ? ms / double(pages) : 0.0;
    state.counters["ms_page1"] = msOnPage(0);
    state.counters["ms_page20"] = msOnPage(kPages - 1);
    state.counters["us_per_patch"] = patches > 0 ? ms * 1000.0 / double(patches) : 0.0;
    state.counters["patches_shown"] = double(displayed);
    state.counters["runs_finished"] = double(finished);
    OrloSim_Reset();
}
BENCHMARK(BM_ModelRun)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
