#include "simprint.h"

#include <algorithm>
#include <cmath>

namespace simprint {
namespace {

// Paper: flat white with an optical-brightener rise at 420-460 nm (lost under the UV-cut condition).
constexpr float kPaper[kBandCount] = {
    0.780f, 0.800f, 0.820f, 0.840f, 0.860f, 0.870f, 0.875f, 0.880f, 0.882f, 0.884f, 0.886f, 0.888f,
    0.889f, 0.890f, 0.891f, 0.892f, 0.893f, 0.894f, 0.895f, 0.896f, 0.897f, 0.898f, 0.899f, 0.900f,
    0.900f, 0.901f, 0.901f, 0.902f, 0.902f, 0.903f, 0.903f, 0.904f, 0.904f, 0.905f, 0.905f, 0.905f};
constexpr float kBrightener[kBandCount] = {
    0.000f, 0.000f, 0.010f, 0.030f, 0.060f, 0.070f, 0.060f, 0.040f, 0.020f, 0.008f, 0.000f, 0.000f,
    0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f,
    0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f, 0.000f};

// Transmittance of a solid layer of each ink (380..730 nm).
constexpr float kCyan[kBandCount] = {
    0.700f, 0.740f, 0.780f, 0.820f, 0.850f, 0.870f, 0.880f, 0.880f, 0.870f, 0.850f, 0.800f, 0.720f,
    0.600f, 0.470f, 0.340f, 0.230f, 0.150f, 0.100f, 0.070f, 0.050f, 0.040f, 0.035f, 0.030f, 0.030f,
    0.030f, 0.030f, 0.032f, 0.035f, 0.040f, 0.050f, 0.065f, 0.085f, 0.110f, 0.140f, 0.180f, 0.220f};
constexpr float kMagenta[kBandCount] = {
    0.600f, 0.640f, 0.660f, 0.660f, 0.640f, 0.600f, 0.520f, 0.420f, 0.300f, 0.180f, 0.100f, 0.060f,
    0.040f, 0.030f, 0.028f, 0.028f, 0.030f, 0.040f, 0.070f, 0.150f, 0.300f, 0.500f, 0.680f, 0.800f,
    0.860f, 0.890f, 0.900f, 0.905f, 0.910f, 0.910f, 0.910f, 0.910f, 0.910f, 0.910f, 0.910f, 0.910f};
constexpr float kYellow[kBandCount] = {
    0.050f, 0.040f, 0.035f, 0.030f, 0.030f, 0.030f, 0.032f, 0.035f, 0.045f, 0.080f, 0.180f, 0.380f,
    0.600f, 0.760f, 0.850f, 0.890f, 0.905f, 0.910f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f,
    0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f, 0.915f};
constexpr float kBlack[kBandCount] = {
    0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f,
    0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.030f, 0.031f, 0.031f,
    0.031f, 0.031f, 0.032f, 0.032f, 0.032f, 0.033f, 0.033f, 0.034f, 0.034f, 0.035f, 0.035f, 0.036f};

float Clamp01(float v)
{
    return std::isfinite(v) ? std::min(1.0f, std::max(0.0f, v)) : 0.0f;
}

} // namespace

void Reflectance(const Inks& inks, bool uvExcluded, float out[kBandCount])
{
    const float c = Clamp01(inks.c), m = Clamp01(inks.m), y = Clamp01(inks.y), k = Clamp01(inks.k);
    for (int i = 0; i < kBandCount; ++i) {
        const float paper = kPaper[i] + (uvExcluded ? 0.0f : kBrightener[i]);
        out[i] = paper * std::pow(kCyan[i], c) * std::pow(kMagenta[i], m) * std::pow(kYellow[i], y) *
                 std::pow(kBlack[i], k);
    }
}

void MakeBlock(const Inks& inks, float out[kBlockSize])
{
    Reflectance(inks, false, out);
    Reflectance(inks, true, out + kUvExcludedOffset);
    // The rest of the block carries instrument data nobody reads; fixed and non-zero so no block is all zero.
    for (int i = 2 * kBandCount; i < kBlockSize; ++i)
        out[i] = 0.5f + 0.001f * static_cast<float>(i);
}

Inks InksFromRgb(int r, int g, int b)
{
    Inks inks;
    inks.c = 1.0f - static_cast<float>(std::clamp(r, 0, 255)) / 255.0f;
    inks.m = 1.0f - static_cast<float>(std::clamp(g, 0, 255)) / 255.0f;
    inks.y = 1.0f - static_cast<float>(std::clamp(b, 0, 255)) / 255.0f;
    return inks;
}

void InksToRgb(const Inks& inks, uint8_t rgb[3])
{
    const float k = 1.0f - Clamp01(inks.k);
    const float ch[3] = {Clamp01(inks.c), Clamp01(inks.m), Clamp01(inks.y)};
    for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<uint8_t>(std::lround(255.0f * (1.0f - ch[i]) * k));
}

} // namespace simprint
