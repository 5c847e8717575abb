// Colour values from a result block or a reflectance, through the shared colour library.

#include "orlo_internal.h"

#include "vexcolor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orlosim {
namespace {

constexpr int kFailed = 1007;
constexpr int kBandCount = 36;
constexpr int kLineCount = 421; // 360..780 nm at 1 nm

int ObjectIlluminantId(int code)
{
    if (code >= 0 && code <= 13)
        return code;
    if (code == 15)
        return 160; // A through the UV cut
    return -1;
}

// Reflectance at 1 nm over 360..780 nm; the end values hold beyond 380 and 730 nm.
float ReflectanceAt(const float* r, int nm)
{
    if (nm <= 380)
        return r[0];
    if (nm >= 730)
        return r[kBandCount - 1];
    const int i = (nm - 380) / 10;
    const float t = static_cast<float>(nm - 380 - 10 * i) / 10.0f;
    return r[i] + (r[i + 1] - r[i]) * t;
}

// Illuminant given at 300..780 nm in 5 nm steps.
float IlluminantAt(const float* spd, int nm)
{
    const int i = (nm - 300) / 5;
    if (i >= 96)
        return spd[96];
    const float t = static_cast<float>(nm - 300 - 5 * i) / 5.0f;
    return spd[i] + (spd[i + 1] - spd[i]) * t;
}

int LightXyz(const float* spectrum, int observer, float xyz[3])
{
    CalColorRecord rec{};
    rec.type = 2;
    rec.observer = observer;
    rec.illuminant = VEXCOLOR_LIGHT_SOURCE;
    const int rc = SpectrumToColor(spectrum, kLineCount, &rec);
    std::copy_n(rec.values, 3, xyz);
    return rc;
}

// The reflectance under the registered user illuminant, relative to that illuminant's white.
int UserIlluminantColour(const CalcOptions& o, int output, const float* reflectance, float out[3])
{
    if (!o.hasUserIlluminant)
        return kFailed;
    float light[kLineCount], product[kLineCount];
    for (int i = 0; i < kLineCount; ++i) {
        light[i] = IlluminantAt(o.userIlluminant, 360 + i);
        product[i] = light[i] * ReflectanceAt(reflectance, 360 + i);
    }
    float white[3], xyz[3];
    if (LightXyz(light, o.observer, white) != 0 || LightXyz(product, o.observer, xyz) != 0 || !(white[1] > 0))
        return kFailed;
    const float scale = 100.0f / white[1];
    for (int c = 0; c < 3; ++c) {
        white[c] *= scale;
        xyz[c] *= scale;
    }
    if (output == 2) {
        std::copy_n(xyz, 3, out);
        return 0;
    }
    // Hand the colour to CIELAB under D50 with the ratios to the user illuminant's white kept.
    const float perfectWhite[kBandCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                            1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    CalColorRecord d50{};
    d50.type = 2;
    d50.observer = o.observer;
    d50.illuminant = 2;
    if (SpectrumToColor(perfectWhite, kBandCount, &d50) != 0)
        return kFailed;
    CalColorRecord in{}, res{};
    in.type = 2;
    in.observer = res.observer = o.observer;
    in.illuminant = res.illuminant = 2;
    res.type = output;
    for (int c = 0; c < 3; ++c) {
        if (!(white[c] > 0))
            return kFailed;
        in.values[c] = xyz[c] * d50.values[c] / white[c];
    }
    if (ConvertColor(&in, &res) != 0)
        return kFailed;
    std::copy_n(res.values, 3, out);
    return 0;
}

} // namespace

int CalculateData(const CalcOptions& o, float* out, int outCount, const float* input, int inputCount)
{
    if (!out || !input || (inputCount != ORLO_BLOCK_SIZE && inputCount != kBandCount))
        return kFailed;
    const float* reflectance = input;
    if (inputCount == ORLO_BLOCK_SIZE && o.condition == 15)
        reflectance = input + kBandCount; // UV-excluded condition
    const int output = o.output;
    if (output >= 0 && output <= 2) {
        if (outCount != 3)
            return kFailed;
        if (o.illuminant == 14)
            return UserIlluminantColour(o, output, reflectance, out);
        const int id = ObjectIlluminantId(o.illuminant);
        if (id < 0)
            return kFailed;
        CalColorRecord rec{};
        rec.type = output;
        rec.observer = o.observer;
        rec.illuminant = id;
        if (SpectrumToColor(reflectance, kBandCount, &rec) != 0)
            return kFailed;
        std::copy_n(rec.values, 3, out);
        return 0;
    }
    if ((output >= 3 && output <= 7) || output == 15) {
        if (outCount != 4)
            return kFailed;
        const unsigned status = output == 15 ? 0u : static_cast<unsigned>(output - 3);
        return SpectrumToDensity(reflectance, kBandCount, out, status) == 0 ? 0 : kFailed;
    }
    if (output == 11 && outCount == kBandCount) {
        std::copy_n(reflectance, kBandCount, out);
        return 0;
    }
    return kFailed;
}

int DeltaE2000(float* out, const float* sampleLab, const float* standardLab)
{
    if (!out)
        return kFailed;
    if (!sampleLab || !standardLab) {
        *out = std::numeric_limits<float>::quiet_NaN();
        return kFailed;
    }
    CalDeltaRecord delta{};
    const float params[3] = {1.0f, 1.0f, 1.0f};
    if (CalcDeltaE(&delta, sampleLab, standardLab, 3, params) != 0) {
        *out = std::numeric_limits<float>::quiet_NaN();
        return kFailed;
    }
    *out = delta.dE;
    return 0;
}

} // namespace orlosim
