// Measurement exports of a 3000-patch measurement on two pages, one case per format id. Run by hand from a
// Release build:
//   build/release/bin/bench_measurement_export

#include "files/iodatafile.h"

#include "app/illuminantdata.h"
#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr int kPages = 2;
constexpr int kPatchesPerPage = 1500;
constexpr int kRows = 30;
constexpr int kColumnsPerArea = 25;

// Fixed patch values instead of the scanner's calculation, so only the writers are timed.
class BenchHost : public CIODataFileHost
{
public:
    int FindPaperSizeIndexInUnit(int, int, int) const override { return 0; }
    int GetPageSizeWidth(int) const override { return 0; }
    int GetPageSizeHeight(int) const override { return 0; }
    int GetPageSizeMaxWidth(int) const override { return 0; }
    int GetPageSizeMaxHeight(int) const override { return 0; }
    int GetAreaLeftMin() const override { return 0; }
    int GetAreaLeftMax() const override { return 0; }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return 0; }
    float GetColorMinValue(int) const override { return 0.0f; }
    float GetColorMaxValue(int) const override { return 100.0f; }
    QPair<int, int> GetIso12642DefaultPosition(int, int) const override { return {0, 0}; }
    int GetIso12642LayoutLongSide() const override { return 0; }
    int GetIso12642LayoutShortSide() const override { return 0; }

    const Setting::UserEnvironment *GetUserEnvironment() const override { return &m_environment; }
    UserIlluminantSlots GetUserIlluminants() const override
    {
        UserIlluminantSlots slotTable;
        slotTable[0].Number = 0;
        slotTable[0].Name = QStringLiteral("Bench");
        return slotTable;
    }
    int GetUserIlluminantForCondition(int, int, EnvironLightData *out) override
    {
        for (int i = 0; i < kEnvironLightValueCount; ++i)
            out->Values[i] = float(i);
        return 0;
    }
    bool SetPaperWhiteFromMeasurement() override { return true; }
    int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &,
                             int conditionId) override
    {
        for (int k = 0; k < 49; ++k)
            values[k] = block[0] + float(conditionId) + float(k) / 3.0f;
        return 0;
    }

private:
    Setting::UserEnvironment m_environment;
};

struct Data {
    ChartDefinitionDataSheets chart;
    MeasurementDataSheets measurement;
    Data()
    {
        chart.SheetCount = kPages;
        chart.Sheets = NewChartSheets(kPages);
        measurement.SheetCount = kPages;
        measurement.Sheets = NewMeasurementPages(kPages);
        const int areas = kPatchesPerPage / (kRows * kColumnsPerArea);
        for (int p = 0; p < kPages; ++p) {
            ChartDefinitionData::Sheet &sheet = chart.Sheets[p];
            sheet.AreaCount = areas;
            for (int a = 0; a < areas; ++a)
                sheet.Areas[a] = {kRows, kColumnsPerArea, kRows * kColumnsPerArea};
            sheet.PatchCount = kPatchesPerPage;
            sheet.Patches = NewChartPatches(kPatchesPerPage);
            MeasurementData &page = measurement.Sheets[p];
            page.PageNumber = p + 1;
            page.RecordCount = kPatchesPerPage;
            page.MeasuredCount = kPatchesPerPage;
            page.Records = NewMeasurementRecords(kPatchesPerPage);
            for (int i = 0; i < kPatchesPerPage; ++i) {
                ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
                patch.ID = (i * 7919) % 9999 + 1;
                patch.Area = i / (kRows * kColumnsPerArea);
                patch.Row = (i / kColumnsPerArea) % kRows;
                patch.Column = i % kColumnsPerArea;
                patch.ColorFormat = ChartDefinitionData::FormatCMYK;
                for (int k = 0; k < 4; ++k)
                    patch.ColorValue[k] = float((i + k) % 101);
                // Records stored in reverse, so every look-up has to search.
                MeasurementData::PatchData &record = page.Records[kPatchesPerPage - 1 - i];
                record.Area = patch.Area;
                record.Row = patch.Row;
                record.Column = patch.Column;
                record.Values[0] = float(i) / 10.0f;
                record.ColorFormat = 2;
            }
        }
        measurement.RecordCount = kPages * kPatchesPerPage;
    }
    ~Data()
    {
        ClearChartDefinitionData(&chart);
        ClearMeasureFileData(&measurement);
    }
};

void BM_MeasurementExport(benchmark::State &state)
{
    const int formatId = int(state.range(0));
    static Data data;
    BenchHost host;
    CIODataFile io(&host);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export%1").arg(OutputFormatExtension(formatId)));
    Setting::MeasureConditionSetting setting{1, 1, 0, 1, 1, 1, 1, 0, kAutoIlluminantId, 1, 0x8002, 1};
    double seconds = 0.0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int result = io.SaveMeasurementData(path, formatId, QStringLiteral("2024/01/31 08:05:09"), setting,
                                                  {1, 15}, data.measurement, data.chart);
        seconds += double(timer.nsecsElapsed()) / 1e9;
        if (result != 0)
            state.SkipWithError("export failed");
    }
    const double bytes = double(QFileInfo(path).size());
    const double perFile = seconds / double(state.iterations());
    state.counters["ms_per_file"] = perFile * 1000.0;
    state.counters["MB_per_s"] = perFile > 0.0 ? bytes / perFile / 1e6 : 0.0;
}
BENCHMARK(BM_MeasurementExport)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
