// Hot paths of the core library. One benchmark per function; run by hand from a Release build:
//   build/release/bin/bench_core

#include "app/colourhelpers.h"
#include "app/recordhelpers.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// A measured A3 chart as the working buffer holds it: 4 pages of 3000 records, each with its page image
// captured at 150 dpi in RGB (1754 x 2480 pixels).
void FillLargeMeasurement(MeasurementDataSheets *m)
{
    constexpr int kPages = 4;
    constexpr int kRecords = 3000;
    m->SheetCount = kPages;
    m->RecordCount = kPages * kRecords;
    m->Sheets = NewMeasurementPages(kPages);
    for (int s = 0; s < kPages; ++s) {
        MeasurementData &page = m->Sheets[s];
        page.Width = 1754;
        page.Height = 2480;
        page.BitPerPixel = 24;
        page.ImageDPI = 150;
        page.PageNumber = s + 1;
        page.RecordCount = kRecords;
        page.MeasuredCount = kRecords;
        page.Records = NewMeasurementRecords(kRecords);
        for (int r = 0; r < kRecords; ++r) {
            page.Records[r].Column = r;
            for (int v = 0; v < kInstrumentValueCount; ++v)
                page.Records[r].Values[v] = float(v + r);
        }
        const qint64 bytes = ImageByteCount(page.Width, page.Height, page.BitPerPixel);
        page.ImageBytes = NewImageBytes(size_t(bytes));
        std::memset(page.ImageBytes.get(), 0x7F, size_t(bytes));
    }
}

void BM_MeasurementDeepCopyAndClear(benchmark::State &state)
{
    MeasurementDataSheets source;
    FillLargeMeasurement(&source);
    for (auto _ : state) {
        MeasurementDataSheets copy;
        CopyMeasureFileData(&copy, source);
        benchmark::DoNotOptimize(copy.Sheets[3].ImageBytes.get());
        ClearMeasureFileData(&copy);
        benchmark::ClobberMemory();
    }
    ClearMeasureFileData(&source);
}
BENCHMARK(BM_MeasurementDeepCopyAndClear)->Unit(benchmark::kMillisecond);

// sRGB -> L*a*b* -> sRGB for one triple, as the chart editor's colour scramble and the views do per patch.
void BM_RgbLabRoundTrip(benchmark::State &state)
{
    constexpr int kTriples = 4096;
    static float rgb[kTriples][3];
    for (int i = 0; i < kTriples; ++i) {
        rgb[i][0] = float((i * 37) % 256);
        rgb[i][1] = float((i * 101) % 256);
        rgb[i][2] = float((i * 7) % 256);
    }
    int i = 0;
    for (auto _ : state) {
        float lab[3];
        float back[3];
        RgbToLab(lab, rgb[i]);
        LabToRgb(back, lab);
        benchmark::DoNotOptimize(back);
        i = (i + 1) % kTriples;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RgbLabRoundTrip);

} // namespace

BENCHMARK_MAIN();
