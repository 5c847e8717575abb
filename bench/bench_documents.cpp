// Document files and the document store. Run by hand from a Release build:
//   build/release/bin/bench_documents

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

void FillMeasurement(MeasurementDataSheets *m, int pages, int records)
{
    m->SheetCount = pages;
    m->RecordCount = pages * records;
    m->Sheets = NewMeasurementPages(size_t(pages));
    for (int s = 0; s < pages; ++s) {
        MeasurementData &page = m->Sheets[s];
        page.PageNumber = s + 1;
        page.RecordCount = records;
        page.MeasuredCount = records;
        page.ImageDPI = 150;
        page.Records = NewMeasurementRecords(size_t(records));
        for (int r = 0; r < records; ++r) {
            page.Records[r].Column = r;
            page.Records[r].ColorFormat = 1;
            for (int v = 0; v < kInstrumentValueCount; ++v)
                page.Records[r].Values[v] = float(v + r) / 7.0f;
        }
    }
}

void FillChart(ChartDefinitionDataSheets *chart, int patches)
{
    chart->SheetCount = 1;
    chart->ChartPatchCount = patches;
    chart->Sheets = NewChartSheets(1);
    auto &sheet = chart->Sheets[0];
    sheet.Width = 29700;
    sheet.Height = 42000;
    sheet.AreaCount = 1;
    sheet.Areas[0] = {1, patches, patches};
    sheet.PatchCount = patches;
    sheet.Patches = NewChartPatches(size_t(patches));
    for (int p = 0; p < patches; ++p)
        sheet.Patches[p] = {p + 1, 0, 0, p, 1, {1, 2, 3}};
}

// A 4-page measurement of 3000 records per page, written and read back.
void BM_WriteMeasurement(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.vrmeas"));
    MeasurementDataSheets m;
    FillMeasurement(&m, 4, 3000);
    ChartDesigMeasureData record;
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveMeasureFile(path, &record, m));
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
    ClearMeasureFileData(&m);
}
BENCHMARK(BM_WriteMeasurement)->Unit(benchmark::kMillisecond);

void BM_ReadMeasurement(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.vrmeas"));
    MeasurementDataSheets m;
    FillMeasurement(&m, 4, 3000);
    ChartDesigMeasureData record;
    SaveMeasureFile(path, &record, m);
    ClearMeasureFileData(&m);
    for (auto _ : state) {
        MeasurementDataSheets read;
        benchmark::DoNotOptimize(ReadMeasureFile(&record, &read, path));
        ClearMeasureFileData(&read);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
}
BENCHMARK(BM_ReadMeasurement)->Unit(benchmark::kMillisecond);

class Host : public CDocumentDataHost {
public:
    Setting::UserEnvironment &CurrentUserEnvironment() override { return environment; }
    int GetAreaLeftMin() const override { return 400; }
    int GetAreaLeftMax() const override { return 31900; }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return 146100; }
    int FindPaperSizeIndexInUnit(int, int, int) const override { return 8; }
    int GetPageSizeWidth(int) const override { return 1000; }
    int GetPageSizeHeight(int) const override { return 1000; }
    int GetPageSizeMaxWidth(int) const override { return 32900; }
    int GetPageSizeMaxHeight(int) const override { return 150000; }
    int GetInstalledPresetLevel() const override { return 4; }
    int GetPresetLevel() const override { return 4; }
    bool IsDataFormatCurrent() const override { return true; }
    Setting::UserEnvironment environment;
};

// The start-up read over a full store: 600 charts of 100 patches, 10 one-page measurements of 100 records each.
void BM_ReadAllDocuments(benchmark::State &state)
{
    QTemporaryDir dir;
    Host host;
    CDocumentData store(&host, nullptr, dir.path(), QString());
    store.ReadDataGroups();
    ChartDefinitionDataSheets chart;
    FillChart(&chart, 100);
    MeasurementDataSheets m;
    FillMeasurement(&m, 1, 100);
    for (int c = 0; c < CDocumentData::kChartStoreLimit; ++c) {
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, chart);
        copy.ChartName = QStringLiteral("C%1").arg(c);
        store.CreateDesignationChart(&copy, false);
        ClearChartDefinitionData(&copy);
        const int number = store.GetDesignationCharts()->last().ID;
        for (int k = 0; k < 10; ++k) {
            int measure = 0;
            store.CreateDesignationMeasure(&measure, number, &m);
        }
    }
    ClearChartDefinitionData(&chart);
    ClearMeasureFileData(&m);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.ReadAllDocuments());
    state.counters["documents"] = double(store.GetDesignationCharts()->size() + store.GetDesignationMeasures()->size());
}
BENCHMARK(BM_ReadAllDocuments)->Unit(benchmark::kSecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
