// Chart page images: a 3000-patch chart over five A3 portrait pages (3507 x 4960 pixels at 300 dpi) with a QR
// tile on each, in RGB, CMYK and CMYK + 4 spot inks at 8 bits, against Argyll's printtarg making 300 dpi 8-bit
// TIFF pages of A3 for the same number of patches. Run by hand from a Release build:
//   build/r/bin/bench_output_image --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Reports seconds per page for both, their ratio (medians), and the peak resident memory of a child process that
// writes one chart, beside its baseline without the writing and the size of one page raster.

#include "tests/files/pagefixtures.h"

#include "app/storeconventions.h"
#include "files/outputimage.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kPages = 5;
constexpr int kPatchesPerPage = 600; // 30 rows of 20
constexpr double kA3Pixels = 3507.0 * 4960.0;

const char *FormatName(int format)
{
    return format == ChartDefinitionData::FormatRGB ? "RGB" : format == ChartDefinitionData::FormatCMYK ? "CMYK"
                                                                                                        : "CMYK+4 spots";
}

void MakeA3Chart(ChartDefinitionDataSheets *chart, int format)
{
    QVector<PageLayout> pages;
    for (int p = 0; p < kPages; ++p) {
        PageLayout layout;
        layout.width = 29700;
        layout.height = 42000;
        layout.rows = 30;
        layout.columns = 20;
        layout.left = 2000;
        layout.top = 5000;
        layout.size = 1000;
        layout.pitch = 1200;
        layout.format = format;
        layout.values.clear();
        for (int i = 0; i < kPatchesPerPage; ++i) {
            const int n = p * kPatchesPerPage + i;
            QVector<float> values;
            for (int k = 0; k < format + 2; ++k)
                values.append(format == ChartDefinitionData::FormatRGB ? float((n * 37 + k * 91) % 256)
                                                                       : float((n * 7 + k * 13) % 101));
            layout.values.append(values);
        }
        layout.barcodeX = 25000;
        layout.barcodeY = 400;
        pages.append(layout);
    }
    MakeChart(chart, pages, 1);
}

void BM_OurPages(benchmark::State &state)
{
    const int format = int(state.range(0));
    QTemporaryDir dir;
    PageHost host;
    ChartGuard guard;
    MakeA3Chart(&guard.chart, format);
    const QString path = dir.filePath(QStringLiteral("a3.tif"));
    COutputImage output(&host);
    for (auto _ : state) {
        if (output.Output(path, &guard.chart, 0) != 0) {
            state.SkipWithError("pages not written");
            break;
        }
    }
    state.counters["s_per_page"] =
        benchmark::Counter(double(state.iterations()) * kPages, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(FormatName(format));
}

// printtarg's colorant combinations for the same channel counts (targen -d: 2 print RGB, 4 CMYK, 13 CMYK + orange,
// green, light cyan, light magenta: eight inks).
int TargenCombination(int format)
{
    return format == ChartDefinitionData::FormatRGB ? 2 : format == ChartDefinitionData::FormatCMYK ? 4 : 13;
}

void BM_Printtarg(benchmark::State &state)
{
    const int format = int(state.range(0));
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("ref"));
    // The patch values come from targen (device-space quasi-random, no extra white or step patches).
    QProcess targen;
    targen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    targen.setStandardOutputFile(QProcess::nullDevice());
    targen.start(QStringLiteral("targen"),
                 {QStringLiteral("-d"), QString::number(TargenCombination(format)), QStringLiteral("-e"),
                  QStringLiteral("0"), QStringLiteral("-s"), QStringLiteral("0"), QStringLiteral("-f"),
                  QString::number(kPages * kPatchesPerPage), QStringLiteral("-q"), base});
    if (!targen.waitForFinished(60000) || targen.exitCode() != 0) {
        state.SkipWithError("targen failed (Debian package argyll)");
        return;
    }
    int pages = 0;
    for (auto _ : state) {
        QProcess printtarg;
        printtarg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        printtarg.setStandardOutputFile(QProcess::nullDevice());
        printtarg.start(QStringLiteral("printtarg"), {QStringLiteral("-i"), QStringLiteral("i1"), QStringLiteral("-t"),
                                                      QStringLiteral("300"), QStringLiteral("-p"), QStringLiteral("A3"),
                                                      base});
        if (!printtarg.waitForFinished(300000) || printtarg.exitCode() != 0) {
            state.SkipWithError("printtarg failed");
            break;
        }
        state.PauseTiming();
        pages = QDir(dir.path()).entryList({QStringLiteral("ref_*.tif")}, QDir::Files).size();
        state.ResumeTiming();
    }
    state.counters["s_per_page"] = benchmark::Counter(double(state.iterations()) * std::max(pages, 1),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pages"] = pages;
    state.SetLabel(QStringLiteral("printtarg -i i1 -t 300 -p A3, %1, %2 patches from targen")
                       .arg(QLatin1String(FormatName(format)))
                       .arg(kPages * kPatchesPerPage)
                       .toStdString());
}

// Keeps the median (or the only) s/page of every benchmark for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const auto found = run.counters.find("s_per_page");
            if ((median || single) && !run.error_occurred && found != run.counters.end())
                secondsPerPage[QString::fromStdString(run.run_name.str())] = found->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    QMap<QString, double> secondsPerPage;
};

// Peak resident memory of this program started again to write one chart (or, with "baseline", to do everything
// but the writing), in MB.
double ChildPeakMB(const char *self, int format, bool baseline)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const QByteArray formatText = QByteArray::number(format);
        execl("/proc/self/exe", self, "--peak-child", formatText.constData(), baseline ? "baseline" : "write", nullptr);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return double(usage.ru_maxrss) / 1024.0;
}

int PeakChild(int format, bool baseline)
{
    PageHost host;
    ChartGuard guard;
    MakeA3Chart(&guard.chart, format);
    QTemporaryDir dir;
    if (baseline)
        return 0;
    return COutputImage(&host).Output(dir.filePath(QStringLiteral("a3.tif")), &guard.chart, 0) == 0 ? 0 : 1;
}

const int kFormats[] = {ChartDefinitionData::FormatRGB, ChartDefinitionData::FormatCMYK,
                        ChartDefinitionData::Format8Color};

} // namespace

BENCHMARK(BM_OurPages)
    ->ArgName("format")
    ->Arg(ChartDefinitionData::FormatRGB)
    ->Arg(ChartDefinitionData::FormatCMYK)
    ->Arg(ChartDefinitionData::Format8Color)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Printtarg)
    ->ArgName("format")
    ->Arg(ChartDefinitionData::FormatRGB)
    ->Arg(ChartDefinitionData::FormatCMYK)
    ->Arg(ChartDefinitionData::Format8Color)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

int main(int argc, char **argv)
{
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    COutputImage::InitializeImageLibrary(argv[0]);
    QCoreApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("VaremoBench"));
    app.setApplicationName(QStringLiteral("bench_output_image"));
    QDir().mkpath(AppDataDir());
    if (argc == 4 && std::strcmp(argv[1], "--peak-child") == 0)
        return PeakChild(std::atoi(argv[2]), std::strcmp(argv[3], "baseline") == 0);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nReference: Argyll printtarg -i i1 -t 300 -p A3 run as a child process on a .ti1 of %d patches that\n"
                "targen -q wrote into a temporary folder; ours: COutputImage::Output on %d A3 pages of %d patches.\n",
                kPages * kPatchesPerPage, kPages, kPatchesPerPage);
    for (int format : kFormats) {
        const double ours = reporter.secondsPerPage.value(QStringLiteral("BM_OurPages/format:%1/real_time").arg(format), -1);
        const double theirs = reporter.secondsPerPage.value(
            QStringLiteral("BM_Printtarg/format:%1/iterations:1/real_time").arg(format), -1);
        if (ours > 0 && theirs > 0)
            std::printf("%-13s ours %.4f s/page, printtarg %.4f s/page, ratio ours/printtarg = %.3f\n",
                        FormatName(format), ours, theirs, ours / theirs);
    }
    for (int format : kFormats) {
        const double base = ChildPeakMB(argv[0], format, true);
        const double peak = ChildPeakMB(argv[0], format, false);
        const double raster = kA3Pixels * (format == ChartDefinitionData::FormatRGB ? 3 : format + 2) / 1048576.0;
        std::printf("%-13s peak resident %.1f MB writing (baseline without writing %.1f MB, growth %.1f MB); one "
                    "page raster %.1f MB\n",
                    FormatName(format), peak, base, peak - base, raster);
    }
    return 0;
}
