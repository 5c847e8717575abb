// Chart page images: one A3 portrait page (3507 x 4960 pixels) of 2000 patches and a QR tile in RGB, CMYK and
// CMYK + 4 spot inks, at 8 and 16 bits. Run by hand from a Release build:
//   build/release/bin/bench_output_image
// Reports seconds per page, raster MB/s (W x H x channels x depth / 8 over the time) and peak resident memory.

#include "tests/files/pagefixtures.h"

#include "app/storeconventions.h"
#include "files/outputimage.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

void BM_OutputPage(benchmark::State &state)
{
    const int format = int(state.range(0));
    const int depthChoice = int(state.range(1));
    QTemporaryDir dir;
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.width = 29700;
    layout.height = 42000;
    layout.rows = 50;
    layout.columns = 40;
    layout.left = 400;
    layout.top = 3000;
    layout.pitch = 700;
    layout.format = format;
    layout.values.clear();
    for (int i = 0; i < 2000; ++i) {
        QVector<float> values;
        for (int k = 0; k < format + 2; ++k)
            values.append(format == ChartDefinitionData::FormatRGB ? float((i * 37 + k * 91) % 256)
                                                                   : float((i * 7 + k * 13) % 101));
        layout.values.append(values);
    }
    layout.barcodeX = 25000;
    layout.barcodeY = 400;
    MakeChart(&guard.chart, {layout}, 1);
    const QString path = dir.filePath(QStringLiteral("a3.tif"));
    for (auto _ : state) {
        const int result = COutputImage(&host).Output(path, &guard.chart, depthChoice);
        if (result != 0) {
            state.SkipWithError("page not written");
            break;
        }
    }
    const double bytes = 3507.0 * 4960.0 * (format + 2) * (depthChoice ? 2 : 1);
    state.counters["raster_MB"] = benchmark::Counter(bytes * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.SetLabel(format == 1 ? "RGB" : format == 2 ? "CMYK" : "CMYK+4 spots");
}

} // namespace

BENCHMARK(BM_OutputPage)
    ->ArgNames({"format", "depth16"})
    ->Args({ChartDefinitionData::FormatRGB, 0})
    ->Args({ChartDefinitionData::FormatRGB, 1})
    ->Args({ChartDefinitionData::FormatCMYK, 0})
    ->Args({ChartDefinitionData::FormatCMYK, 1})
    ->Args({ChartDefinitionData::Format8Color, 0})
    ->Args({ChartDefinitionData::Format8Color, 1})
    ->Unit(benchmark::kSecond)
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
