// Measurement exports of a 3000-patch measurement on two pages, one case per format id, against Little CMS's IT8
// writer saving the same CGATS table (two tables of 3000 rows, the same fields), plain and with an fsync of its
// file (our writer syncs before it renames). Run by hand from a Release build:
//   build/release/bin/bench_measurement_export --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// After the cases it prints the median time of each and its ratio to Little CMS's.

#include "files/iodatafile.h"

#include "app/illuminantdata.h"
#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <lcms2.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

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

// One measurement for every case.
const Data &BenchData()
{
    static const Data data;
    return data;
}

constexpr int kIterations = 10;
const QList<int> kConditions{1, 15};

// Milliseconds per file of every repetition, by case; each repetition runs kIterations files.
std::map<std::string, std::vector<double>> &Samples()
{
    static std::map<std::string, std::vector<double>> samples;
    return samples;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

Setting::MeasureConditionSetting BenchSetting()
{
    return {1, 1, 0, 1, 1, 1, 1, 0, kAutoIlluminantId, 1, 0x8002, 1};
}

void BM_MeasurementExport(benchmark::State &state)
{
    const int formatId = int(state.range(0));
    const Data &data = BenchData();
    BenchHost host;
    CIODataFile io(&host);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export%1").arg(OutputFormatExtension(formatId)));
    const Setting::MeasureConditionSetting setting = BenchSetting();
    double seconds = 0.0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int result = io.SaveMeasurementData(path, formatId, QStringLiteral("2024/01/31 08:05:09"), setting,
                                                  kConditions, data.measurement, data.chart);
        seconds += double(timer.nsecsElapsed()) / 1e9;
        if (result != 0)
            state.SkipWithError("export failed");
    }
    const double bytes = double(QFileInfo(path).size());
    const double perFile = seconds / double(state.iterations());
    state.counters["ms_per_file"] = perFile * 1000.0;
    state.counters["MB_per_s"] = perFile > 0.0 ? bytes / perFile / 1e6 : 0.0;
    Samples()["format id " + std::to_string(formatId)].push_back(perFile * 1000.0);
}
BENCHMARK(BM_MeasurementExport)->DenseRange(0, 9)->Iterations(kIterations)->Unit(benchmark::kMillisecond);

// The same table as the CGATS text export (format id 3) built and saved by Little CMS: the same fields, rows,
// properties and a value of the same kind in every cell.
void SaveWithLittleCms(const Data &data, const char *path)
{
    BenchHost host;
    const Setting::MeasureConditionSetting setting = BenchSetting();
    const QStringList fields = CIODataFile::BuildExportFieldList(2, setting, ChartDefinitionData::FormatCMYK);
    const int rowCount = kPages * kPatchesPerPage;
    cmsHANDLE it8 = cmsIT8Alloc(nullptr);
    cmsIT8SetSheetType(it8, "CGATS.17");
    for (int t = 0; t < kConditions.size(); ++t) {
        const int conditionId = kConditions.at(t);
        if (t > 0)
            cmsIT8SetTable(it8, t);
        cmsIT8SetPropertyStr(it8, "ORIGINATOR", "VELMAR OSTRAND, INC.");
        cmsIT8SetPropertyStr(it8, "FILE_DESCRIPTOR", "Varemo");
        cmsIT8SetPropertyStr(it8, "CREATED", "2024-01-31T08:05:09Z");
        cmsIT8SetPropertyStr(it8, "INSTRUMENTATION", "VELMAR OSTRAND, INC. Orlo");
        cmsIT8SetPropertyStr(it8, "MEASUREMENT_GEOMETRY", "45/0");
        cmsIT8SetPropertyDbl(it8, "NUMBER_OF_FIELDS", fields.size());
        cmsIT8SetPropertyDbl(it8, "NUMBER_OF_SETS", rowCount);
        for (int f = 0; f < fields.size(); ++f)
            cmsIT8SetDataFormat(it8, f, fields.at(f).toLatin1().constData());
        int row = 0;
        for (int p = 0; p < kPages; ++p) {
            const ChartDefinitionData::Sheet &sheet = data.chart.Sheets[p];
            const MeasurementData &page = data.measurement.Sheets[p];
            for (int i = 0; i < kPatchesPerPage; ++i, ++row) {
                const ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
                const MeasurementData::PatchData &record = page.Records[kPatchesPerPage - 1 - i];
                char text[32];
                std::snprintf(text, sizeof text, "%d", patch.ID);
                cmsIT8SetDataRowCol(it8, row, 0, text);
                std::snprintf(text, sizeof text, "%d%c%d", p * 2 + patch.Area + 1, 'A' + patch.Column, patch.Row + 1);
                cmsIT8SetDataRowCol(it8, row, 1, text);
                int column = 2;
                for (int k = 0; k < 4; ++k)
                    cmsIT8SetDataRowColDbl(it8, row, column++, patch.ColorValue[k]);
                float values[49];
                host.CalculatePatchValues(values, record.Values, setting, conditionId);
                for (int k = 0; column < fields.size(); ++k)
                    cmsIT8SetDataRowColDbl(it8, row, column++, values[k % 49]);
            }
        }
    }
    cmsIT8SaveToFile(it8, path);
    cmsIT8Free(it8);
}

void BM_LittleCmsIt8(benchmark::State &state)
{
    const bool sync = state.range(0) != 0;
    const Data &data = BenchData();
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("lcms.txt")));
    double seconds = 0.0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        SaveWithLittleCms(data, path.constData());
        if (sync) {
            const int fd = ::open(path.constData(), O_WRONLY);
            if (fd < 0 || ::fsync(fd) != 0)
                state.SkipWithError("fsync failed");
            if (fd >= 0)
                ::close(fd);
        }
        seconds += double(timer.nsecsElapsed()) / 1e9;
    }
    const double perFile = seconds / double(state.iterations());
    state.counters["ms_per_file"] = perFile * 1000.0;
    state.SetLabel(sync ? "Little CMS IT8 + fsync" : "Little CMS IT8");
    Samples()[sync ? "Little CMS + fsync" : "Little CMS"].push_back(perFile * 1000.0);
}
BENCHMARK(BM_LittleCmsIt8)->Arg(0)->Arg(1)->Iterations(kIterations)->Unit(benchmark::kMillisecond);

void PrintRatios()
{
    const double plain = Median(Samples()["Little CMS"]);
    const double synced = Median(Samples()["Little CMS + fsync"]);
    std::printf("\nMedians of the repetitions (ms per file); reference: Little CMS IT8 writer, same table\n");
    std::printf("  Little CMS            %8.2f\n  Little CMS + fsync    %8.2f\n", plain, synced);
    for (int id = 0; id < 10; ++id) {
        const auto found = Samples().find("format id " + std::to_string(id));
        if (found == Samples().end())
            continue;
        const double ours = Median(found->second);
        std::printf("  format id %d           %8.2f   ratio ours/Little CMS = %.2f, ours/(Little CMS + fsync) = %.2f\n",
                    id, ours, plain > 0.0 ? ours / plain : 0.0, synced > 0.0 ? ours / synced : 0.0);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident size    %8.1f MB\n", double(usage.ru_maxrss) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    PrintRatios();
    return 0;
}
