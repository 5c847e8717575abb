// Hot paths of the light-source library set: colour of a measured spectrum, reflectance to L*a*b*, and the
// irradiance pipeline of one raw reading.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "synthetic/synthetic.h"
#include "vexcalib.h"
#include "vexcolor.h"

namespace {

std::array<float, 421> planckian(double kelvin)
{
    std::array<float, 421> s{};
    for (int k = 0; k < 421; ++k) {
        const double m = (360 + k) * 1e-9;
        s[k] = float(1e-15 * std::pow(m, -5) / std::expm1(1.4388e-2 / (m * kelvin)));
    }
    return s;
}

// Types 7, 9, 6 and 11 of one spectrum, as a light-source measurement shows them.
void LightSourceColour(benchmark::State& state)
{
    const auto spectrum = planckian(4200.0);
    for (auto _ : state) {
        for (int type : {7, 9, 6, 11}) {
            CalColorRecord r{};
            r.type = type;
            r.illuminant = VEXCOLOR_LIGHT_SOURCE;
            benchmark::DoNotOptimize(SpectrumToColor(spectrum.data(), 421, &r));
            benchmark::DoNotOptimize(r.values[0]);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LightSourceColour);

void ReflectanceToLab(benchmark::State& state)
{
    std::array<float, 36> reflectance{};
    for (int k = 0; k < 36; ++k)
        reflectance[k] = 0.2f + 0.6f * float(k) / 35.0f;
    for (auto _ : state) {
        CalColorRecord r{};
        r.type = 0;
        r.illuminant = 2;  // D50, 2 degree
        benchmark::DoNotOptimize(SpectrumToColor(reflectance.data(), 36, &r));
        benchmark::DoNotOptimize(r.values[0]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReflectanceToLab);

void Irradiance(benchmark::State& state)
{
    using namespace vexcalib::synthetic;
    FactoryData factory = identityFactory();
    factory.longWave = {0.4f, 2.0f, 0.01f, 0.001f, 3.0f};
    const std::vector<unsigned char> dev = deviceRecord(factory);
    const std::vector<unsigned char> cal = calibrationBlock(identityCalibration(factory, 24.0f));
    std::array<float, 132> raw{};
    for (int i = 0; i < 128; ++i)
        raw[i] = 1000.0f + 10.0f * float(i);
    raw[128] = 26.0f;
    std::array<float, 421> out{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(CalcIrradiance(raw.data(), 40000, 0, dev.data(), cal.data(), out.data(), 0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Irradiance);

}  // namespace

BENCHMARK_MAIN();
