// Document files and the document store. Run by hand from a Release build:
//   build/release/bin/bench_documents --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The store benchmarks write a store of about 760 MB into the temporary folder once per run.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

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

// The store as the program finds it at start: 600 charts of 100 patches, each with 10 one-page measurements of
// 100 records (6000 measurements, about 760 MB), and a few density charts with a measurement each. Built once
// per run into a temporary folder; the page cache is warm from writing it.
struct FullStore {
    QTemporaryDir dir;
    Host host;
    qint64 bytes = 0;
    int files = 0;

    FullStore()
    {
        // One chart and one measurement go through the store's writers; the rest are plain copies of their
        // bytes, since the store's atomic writer syncs every file to disk and 6600 syncs take minutes.
        CDocumentData store(&host, nullptr, dir.path(), QString());
        store.ReadDataGroups();
        ChartDefinitionDataSheets chart;
        FillChart(&chart, 100);
        MeasurementDataSheets m;
        FillMeasurement(&m, 1, 100);
        store.CreateDesignationChart(&chart, false);
        int measure = 0;
        store.CreateDesignationMeasure(&measure, 1, &m);
        const QByteArray chartBytes = ReadFile(store.DesignationChartPath(1));
        const QByteArray measureBytes = ReadFile(store.DesignationMeasurePath(1, measure));
        for (int c = 1; c <= CDocumentData::kChartStoreLimit; ++c) {
            if (c > 1)
                WriteFile(store.DesignationChartPath(c), chartBytes);
            QDir().mkpath(store.DesignationChartFolder(c));
            for (int k = 0; k < 10; ++k) {
                const int number = (c - 1) * 10 + k + 1;
                if (number > 1)
                    WriteFile(store.DesignationMeasurePath(c, number), measureBytes);
            }
        }
        for (int c = 0; c < 10; ++c) {
            ChartDefinitionDataSheets copy;
            CopyChartDefinitionData(&copy, chart);
            store.CreateDensityChart(7, 0, &copy);
            ClearChartDefinitionData(&copy);
            int density = 0;
            store.CreateDensityMeasure(&density, store.GetDensityCharts()->last().ID, &m);
        }
        ClearChartDefinitionData(&chart);
        ClearMeasureFileData(&m);
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            bytes += it.fileInfo().size();
            ++files;
        }
    }

    static QByteArray ReadFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
};

FullStore &SharedStore()
{
    static FullStore store;
    return store;
}

// What the program reads from the store at start: the store's initialisation (data groups, preset refresh,
// density lists) and the designation and recognition lists.
int StartupListing(FullStore &full, int *documents)
{
    CDocumentData store(&full.host, nullptr, full.dir.path(), QString());
    int result = store.Initialize(false);
    if (result == kDocumentOk)
        result = store.ReadAllDocuments();
    *documents = store.GetDesignationCharts()->size() + store.GetDesignationMeasures()->size() +
                 store.GetDensityCharts()->size() + store.GetDensityMeasures()->size();
    return result;
}

// The reference: every byte of the store read once by cat, in a child process.
double CatSeconds(const FullStore &full)
{
    const QByteArray command =
        "find '" + QFile::encodeName(full.dir.path()) + "' -type f -exec cat {} + >/dev/null";
    QElapsedTimer timer;
    timer.start();
    if (std::system(command.constData()) != 0)
        return -1.0;
    return double(timer.nsecsElapsed()) / 1e9;
}

// The start-up listing against cat over the same files, timed in turn in every iteration.
void BM_StartupListing(benchmark::State &state)
{
    FullStore &full = SharedStore();
    CatSeconds(full);
    double listing = 0.0, cat = 0.0;
    int documents = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        benchmark::DoNotOptimize(StartupListing(full, &documents));
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        listing += seconds;
        cat += CatSeconds(full);
    }
    const double n = double(state.iterations());
    state.counters["documents"] = documents;
    state.counters["store_MB"] = double(full.bytes) / 1e6;
    state.counters["files"] = full.files;
    state.counters["listing_s"] = listing / n;
    state.counters["cat_s"] = cat / n;
    state.counters["ratio_ours_per_cat"] = listing / cat;
}
BENCHMARK(BM_StartupListing)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The reference alone: `find DIR -type f -exec cat {} + >/dev/null`.
void BM_StartupListingReferenceCat(benchmark::State &state)
{
    FullStore &full = SharedStore();
    for (auto _ : state)
        state.SetIterationTime(CatSeconds(full));
}
BENCHMARK(BM_StartupListingReferenceCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

qint64 StatusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Peak memory of one start-up listing, in a forked child whose peak is reset before it runs.
void BM_StartupListingPeakMemory(benchmark::State &state)
{
    FullStore &full = SharedStore();
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            QFile reset(QStringLiteral("/proc/self/clear_refs"));
            if (reset.open(QIODevice::WriteOnly))
                reset.write("5");
            reset.close();
            qint64 sizes[2] = {StatusKilobytes("VmRSS:"), 0};
            int documents = 0;
            StartupListing(full, &documents);
            sizes[1] = StatusKilobytes("VmHWM:");
            const ssize_t written = write(channel[1], sizes, sizeof sizes);
            _exit(written == ssize_t(sizeof sizes) ? 0 : 1);
        }
        close(channel[1]);
        qint64 sizes[2] = {0, 0};
        const bool read = ::read(channel[0], sizes, sizeof sizes) == ssize_t(sizeof sizes);
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!read) {
            state.SkipWithError("child failed");
            return;
        }
        state.counters["before_MB"] = double(sizes[0]) / 1024.0;
        state.counters["peak_MB"] = double(sizes[1]) / 1024.0;
    }
}
BENCHMARK(BM_StartupListingPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
