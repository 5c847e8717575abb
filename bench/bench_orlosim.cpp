// The simulated chart scanner on a full A3 page at 300 dpi: 1,617 patches and a QR code. One sheet goes
// through capture, QR reading, patch recognition and the measurement of every patch; the QR read is also
// timed alone.

#include "OrloSim.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 49, kColumns = 33; // 1,617 patches

struct Page {
    OrloSimArea area{kRows, kColumns, 1500, 6000, 550, 550, 600, 600};
    std::vector<float> inks;
    char record[ORLO_SHEET_RECORD_SIZE] = {};
    OrloSimSheet sheet{};

    Page()
    {
        for (int i = 0; i < kRows * kColumns; ++i)
            inks.insert(inks.end(), {float(i % 5 + 1) / 5.0f, float(i % 7) / 6.0f, float(i % 3) / 2.0f, 0.0f});
        std::memcpy(record, "Orlo0000BENCHMARK A3", 20);
        const int32_t ints[4] = {1, 1, kRows * kColumns, 1};
        std::memcpy(record + 24, ints, sizeof ints);
        const int32_t triple[3] = {kRows, kColumns, kRows * kColumns};
        std::memcpy(record + 40, triple, sizeof triple);
        sheet = OrloSimSheet{29700, 42000, 1, &area, inks.data(), reinterpret_cast<const uint8_t*>(record),
                             20000, 500, 0};
    }
};

int g_measured = 0;

void Chain(int code, int value, void*, int count)
{
    switch (code) {
    case 3:
        Orlo_StartCapture();
        break;
    case 5: {
        OrloCaptureText text;
        text.status = 1;
        Orlo_GetCaptureResult(nullptr, nullptr, nullptr, &text, nullptr);
        Orlo_StartPatchRecognition(value, 1, nullptr, 0, nullptr);
        break;
    }
    case 7: {
        int32_t result = 0;
        static OrloLayoutRecord layout;
        Orlo_GetPatchRecognitionResult2(&result, 0, &layout);
        std::vector<OrloMeasurePoint> points(size_t(layout.patchCount));
        int32_t n = layout.patchCount;
        Orlo_GetMeasurePoint(points.data(), &n);
        Orlo_StartMeasurement2(1, 1);
        break;
    }
    case 11: {
        float block[ORLO_BLOCK_SIZE];
        Orlo_SetOption(3, 12);
        for (; g_measured < count; ++g_measured) {
            const int32_t sel[3] = {g_measured, -1, -1};
            Orlo_GetData(sel, block, ORLO_BLOCK_SIZE);
        }
        break;
    }
    case 9:
        Orlo_ExitMeasurement(0, 0);
        break;
    default:
        break;
    }
}

void Connect()
{
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    Orlo_RegisterDeviceEventHandler(&Chain);
    OrloDeviceEntry device{};
    device.kind = 1;
    Orlo_Connect(&device, "bench");
    OrloSim_DeliverPending();
}

void BM_Sheet(benchmark::State& state)
{
    Page page;
    Connect();
    for (auto _ : state) {
        state.PauseTiming(); // drawing the page is not the instrument's work
        g_measured = 0;
        OrloSim_InsertSheet(&page.sheet);
        state.ResumeTiming();
        OrloSim_DeliverPending();
        if (g_measured != kRows * kColumns) {
            state.SkipWithError(("measured " + std::to_string(g_measured) + " patches").c_str());
            break;
        }
    }
    OrloSim_Reset();
}
BENCHMARK(BM_Sheet)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_QrDecode(benchmark::State& state)
{
    Page page;
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    OrloDeviceEntry device{};
    device.kind = 1;
    Orlo_Connect(&device, "bench");
    OrloSim_InsertSheet(&page.sheet);
    for (auto _ : state) {
        // A capture is the grey conversion plus the QR read of the whole page.
        if (Orlo_StartCapture() != 0) {
            state.SkipWithError("capture failed");
            break;
        }
        OrloCaptureText text;
        text.status = 1;
        Orlo_GetCaptureResult(nullptr, nullptr, nullptr, &text, nullptr);
        if (text.status != 0) {
            state.SkipWithError("QR code not read");
            break;
        }
    }
    OrloSim_Reset();
}
BENCHMARK(BM_QrDecode)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
