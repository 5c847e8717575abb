// Calibration stages in single precision on fixed-size arrays; nothing is allocated per call.
#include "calibcore.h"

#include <cmath>
#include <utility>

namespace vexcalib {
namespace {

bool allFinite(const float* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

void require(bool ok, eCALIB_ERROR_TYPES code)
{
    if (!ok)
        raise(code);
}

// Inverse of the 31 x 31 Gaussian blur (2 pixels full width at half maximum) that the long-wavelength
// correction deconvolves with.  It depends on nothing, so it is formed once, in double, on first use.
struct GaussInverse {
    float m[kShortPixels][kShortPixels];
};

GaussInverse makeGaussInverse()
{
    constexpr int n = kShortPixels;
    const double w1 = 2.0 / (2.0 * std::sqrt(std::log(2.0)));
    double a[n][2 * n];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double d = (i - j) / w1;
            a[i][j] = std::exp(-d * d);
            a[i][n + j] = i == j ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (pivot != col)
            for (int k = 0; k < 2 * n; ++k)
                std::swap(a[pivot][k], a[col][k]);
        const double p = a[col][col];
        for (int k = 0; k < 2 * n; ++k)
            a[col][k] /= p;
        for (int r = 0; r < n; ++r) {
            if (r == col || a[r][col] == 0.0)
                continue;
            const double f = a[r][col];
            for (int k = 0; k < 2 * n; ++k)
                a[r][k] -= f * a[col][k];
        }
    }
    GaussInverse inv;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            inv.m[i][j] = float(a[i][n + j]);
    return inv;
}

const GaussInverse& gaussInverse()
{
    static const GaussInverse inverse = makeGaussInverse();
    return inverse;
}

void applyLongWaveCorrection(const void* deviceRecord, float* pixels)
{
    float c[5];
    loadFloats(deviceRecord, device::kLongWave, c, 5);
    float correction[kLongPixels];
    longWaveCorrection(c, pixels, correction);
    for (int r = 0; r < kLongPixels; ++r)
        pixels[kLongFirst + r] -= correction[r];
}

}  // namespace

void correctTemperatureAndDark(float* pixels, float integrationTime, float referenceIntegrationTime,
                               float temperature, float referenceTemperature, float exponentialCoefficient,
                               float linearCoefficient, const float* darkRate, const float* darkOffset)
{
    const float dT = temperature - referenceTemperature;
    const float b = integrationTime * std::exp(exponentialCoefficient * dT) / referenceIntegrationTime;
    const float a = linearCoefficient * dT;
    for (int i = 0; i < kPixels; ++i)
        pixels[i] -= darkOffset[i] + a + darkRate[i] * b;
}

float interpolate4(const float* t, const float* v, float w)
{
    if (w >= t[kPixels - 1])
        return v[kPixels - 1];
    int j = 0;
    if (w >= t[0]) {
        int lo = 0, hi = kPixels - 1;  // t[lo] <= w < t[hi]
        while (hi - lo > 1) {
            const int mid = (lo + hi) / 2;
            if (t[mid] <= w)
                lo = mid;
            else
                hi = mid;
        }
        j = lo;
    }
    const int p = j <= 1 ? 0 : (j >= kPixels - 2 ? kPixels - 4 : j - 1);
    float result = 0;
    for (int i = 0; i < 4; ++i) {
        float l = 1;
        for (int k = 0; k < 4; ++k)
            if (k != i)
                l *= (w - t[p + k]) / (t[p + i] - t[p + k]);
        result += l * v[p + i];
    }
    return result;
}

void longWaveCorrection(const float c[5], const float* shortPixels, float correction[kLongPixels])
{
    const GaussInverse& inv = gaussInverse();
    float y[kShortPixels];
    for (int i = 0; i < kShortPixels; ++i) {
        float s = 0;
        for (int j = 0; j < kShortPixels; ++j)
            s += inv.m[i][j] * shortPixels[j];
        y[i] = s;
    }
    const float w2 = c[4] / (2.0f * std::sqrt(std::log(2.0f)));
    for (int r = 0; r < kLongPixels; ++r) {
        const float gain = c[2] + c[3] * float(r);
        float s = 0;
        if (gain != 0.0f) {
            for (int j = 0; j < kShortPixels; ++j) {
                const float arg = float(j) - c[0] * float(r) + c[1];
                float g;
                if (w2 != 0.0f) {
                    const float d = arg / w2;
                    g = std::exp(-d * d);
                } else {
                    g = arg == 0.0f ? 1.0f : 0.0f;  // a line of zero width
                }
                s += g * y[j];
            }
        }
        correction[r] = gain * s;
    }
}

void irradiance(const float* raw, int integrationTime, const void* dev, const void* cal, float out[kSpectrumPoints])
{
    // A negative time would pass through as a huge unsigned factor; refuse it before anything is computed.
    require(integrationTime > 0, CALIB_INTEGRATION_FAILED);
    const float temperature = raw[kTemperatureIndex];
    const float referenceIntegration = float(load<std::int32_t>(dev, device::kReferenceIntegration));
    const float darkTemperature = load<float>(cal, calib::kDarkTemperature1);

    float pixels[kPixels];
    float rate[kPixels], offset[kPixels];
    std::memcpy(pixels, raw, sizeof pixels);
    loadFloats(cal, calib::kDarkRate, rate, kPixels);
    loadFloats(cal, calib::kDarkOffset, offset, kPixels);
    correctTemperatureAndDark(pixels, float(integrationTime), referenceIntegration, temperature, darkTemperature,
                              load<float>(dev, device::kDarkRateExpCoeff),
                              load<float>(dev, device::kDarkOffsetLinCoeff), rate, offset);
    require(allFinite(pixels, kPixels), CALIB_DARK_CORRECTION_FAILED);

    // Temperature drift of the pixel wavelengths, then back onto the nominal wavelengths.
    float nominal[kPixels], actual[kPixels], resampled[kPixels];
    loadFloats(dev, device::kWavelengths, nominal, kPixels);
    loadFloats(cal, calib::kWavelengths, actual, kPixels);
    const float drift = (temperature - darkTemperature) * kDriftPerKelvin;
    for (int i = 0; i < kPixels; ++i)
        actual[i] -= drift;
    for (int i = 0; i < kPixels; ++i)
        resampled[i] = interpolate4(actual, pixels, nominal[i]);
    require(allFinite(resampled, kPixels), CALIB_RESAMPLING_FAILED);

    applyLongWaveCorrection(dev, resampled);

    // Stray light: row j mixes only the pixels of its own parity.
    float row[64];
    for (int j = 0; j < kPixels; ++j) {
        loadFloats(dev, device::kStrayLight + std::size_t(j) * 64 * sizeof(float), row, 64);
        float s = 0;
        for (int k = 0; k < 64; ++k)
            s += row[k] * resampled[2 * k + (j % 2)];
        pixels[j] = s;
    }
    require(allFinite(pixels, kPixels), CALIB_STRAY_LIGHT_FAILED);

    const float timeFactor = referenceIntegration / float(integrationTime);
    const float f = (temperature - load<float>(dev, device::kReferenceTemperature))
                    * load<float>(dev, device::kSensitivityTempCoeff);
    float tempCoeff[kPixels];
    loadFloats(cal, calib::kTempCoeff, tempCoeff, kPixels);
    for (int i = 0; i < kPixels; ++i) {
        const float divisor = f * tempCoeff[i] + 1.0f;
        require(divisor != 0.0f, CALIB_INTEGRATION_FAILED);
        pixels[i] = pixels[i] * timeFactor / divisor;
    }
    require(allFinite(pixels, kPixels), CALIB_INTEGRATION_FAILED);

    float sensitivity[kPixels];
    loadFloats(dev, device::kSensitivity, sensitivity, kPixels);
    for (int i = 0; i < kPixels; ++i)
        pixels[i] *= sensitivity[i];
    require(allFinite(pixels, kPixels), CALIB_SENSITIVITY_FAILED);

    for (int k = 0; k < kSpectrumPoints; ++k) {
        const float v = interpolate4(nominal, pixels, float(360 + k));
        require(std::isfinite(v), CALIB_RESAMPLING_FAILED);
        out[k] = v < 0.0f ? 0.0f : v;
    }
}

void darkCalibration(const float* readings, const void* dev, void* cal, bool jigu, unsigned setting1,
                     unsigned setting2)
{
    const float* r1 = readings;
    const float* r2 = readings + kStride;
    store<std::int32_t>(cal, calib::kStatus, load<std::int32_t>(cal, calib::kStatus) & ~calib::kDarkDone);
    store<float>(cal, calib::kDarkTemperature1, r1[kTemperatureIndex]);
    store<float>(cal, calib::kDarkTemperature2, r2[kTemperatureIndex]);
    for (int i = 0; i < kPixels; ++i)
        require(r2[i] < 6000.0f, CALIB_DARK_SATURATED);

    // Intercept of the dark signal at zero integration time from the two settings.
    const float s1 = jigu ? float(setting1) : 50000.0f;
    const float s2 = jigu ? float(setting2) : 1600.0f;
    float intercept[kPixels];
    for (int i = 0; i < kPixels; ++i)
        intercept[i] = (r2[i] * s1 - r1[i] * s2) / (s1 - s2);

    float offset[kPixels];
    for (int i = 0; i < kPixels; ++i) {
        const int edge = i < kPixels - 1 - i ? i : kPixels - 1 - i;
        if (edge < 2) {
            offset[i] = intercept[i];
            continue;
        }
        const int h = edge - 1 < 5 ? edge - 1 : 5;
        float s = 0;
        for (int k = i - h; k <= i + h; ++k)
            s += intercept[k];
        offset[i] = s / float(2 * h + 1);
    }

    // The first reading was taken at s1; the rate is scaled to the reference integration time.
    const float scale = float(load<std::int32_t>(dev, device::kReferenceIntegration)) / s1;
    float rate[kPixels];
    for (int i = 0; i < kPixels; ++i)
        rate[i] = (r1[i] - offset[i]) * scale;

    float nominal[kPixels], tempCoeff[kPixels];
    loadFloats(dev, device::kWavelengths, nominal, kPixels);
    const float slope = load<float>(dev, device::kPixelTempSlope);
    const float intercept0 = load<float>(dev, device::kPixelTempIntercept);
    for (int i = 0; i < kPixels; ++i) {
        const float c = intercept0 + slope * nominal[i];
        tempCoeff[i] = c < 0.0f ? 0.0f : c;
    }

    storeFloats(cal, calib::kDarkRate, rate, kPixels);
    storeFloats(cal, calib::kDarkOffset, offset, kPixels);
    storeFloats(cal, calib::kTempCoeff, tempCoeff, kPixels);
    store<std::int32_t>(cal, calib::kStatus, load<std::int32_t>(cal, calib::kStatus) | calib::kDarkDone);
}

void lineWindow(const float* p, int& first, int& last)
{
    auto peakOf = [p](int from, int to) {
        int best = from;
        for (int i = from + 1; i <= to; ++i)
            if (p[i] > p[best])
                best = i;
        return best;
    };
    first = 90;
    last = 127;
    const int p1 = peakOf(0, 29);
    if (p1 < 1 || p1 > 28)
        return;
    const int p2 = peakOf(90, 127);
    if (p2 < 91 || p2 > 126)
        return;
    // Only the second line takes part in the fit; it ends where the profile falls below 2 % of its peak.
    const float threshold = 0.02f * p[p2];
    first = p2;
    while (first > 90 && p[first - 1] >= threshold)
        --first;
    last = p2;
    while (last < 127 && p[last + 1] >= threshold)
        ++last;
}

float fitShift(const float* target, const float* difference, const float* nominal, int first, int last)
{
    float targetSum = 0, differenceSum = 0;
    for (int k = first; k <= last; ++k) {
        targetSum += target[k];
        differenceSum += difference[k];
    }
    require(targetSum != 0.0f && differenceSum != 0.0f && std::isfinite(targetSum) && std::isfinite(differenceSum),
            CALIB_SHIFT_FAILED);
    auto cost = [&](float f) {
        float c = 0;
        for (int k = first; k <= last; ++k) {
            const float d = target[k] / targetSum - interpolate4(nominal, difference, nominal[k] + f) / differenceSum;
            c += d * d;
        }
        return c;
    };
    float best = -5.2f;
    float bestCost = cost(best);
    for (int i = 1; i <= 104; ++i) {
        const float f = -5.2f + 0.1f * float(i);
        const float c = cost(f);
        if (c < bestCost)
            best = f, bestCost = c;
    }
    const float coarse = best;
    for (int i = 0; i <= 40; ++i) {
        const float f = coarse - 0.1f + 0.005f * float(i);
        const float c = cost(f);
        if (c < bestCost)
            best = f, bestCost = c;
    }
    require(std::isfinite(bestCost) && best >= -5.20005f && best <= 5.20005f, CALIB_SHIFT_FAILED);
    const float shift = std::round(-best * 1000.0f) / 1000.0f;
    require(shift >= -5.00005f && shift <= 5.00005f, CALIB_SHIFT_FAILED);
    return shift;
}

float wavelengthShift(const float* readings, const void* dev, bool checkSignal)
{
    const float* off = readings;
    const float* on = readings + kStride;
    float difference[kPixels];
    float largest = -INFINITY;
    for (int i = 0; i < kPixels; ++i) {
        difference[i] = on[i] - off[i];
        largest = difference[i] > largest ? difference[i] : largest;
    }
    require(allFinite(difference, kPixels), CALIB_DIFFERENCE_FAILED);
    if (checkSignal)
        require(largest >= 3000.0f, CALIB_SIGNAL_TOO_WEAK);

    float corrected[kPixels];
    std::memcpy(corrected, difference, sizeof corrected);
    applyLongWaveCorrection(dev, corrected);
    int first = 0, last = 0;
    lineWindow(corrected, first, last);
    float nominal[kPixels];
    loadFloats(dev, device::kWavelengths, nominal, kPixels);
    return fitShift(corrected, difference, nominal, first, last);
}

}  // namespace vexcalib
