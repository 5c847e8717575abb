// Internal stages of the calibration library.  A failing stage throws eCALIB_ERROR_TYPES; the exported
// functions catch it and return the code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexcalib {

enum eCALIB_ERROR_TYPES : int {
    CALIB_OK = 0,
    CALIB_BAD_ARGUMENT = 4,
    CALIB_DIFFERENCE_FAILED = 5,
    CALIB_SHIFT_FAILED = 7,
    CALIB_SENSITIVITY_FAILED = 13,
    CALIB_DARK_CORRECTION_FAILED = 14,
    CALIB_INTEGRATION_FAILED = 16,
    CALIB_STRAY_LIGHT_FAILED = 17,
    CALIB_RESAMPLING_FAILED = 18,
    CALIB_SIGNAL_TOO_WEAK = 27,
    CALIB_DARK_SATURATED = 28,
    CALIB_NOT_SUPPORTED = 31,
};

[[noreturn]] inline void raise(eCALIB_ERROR_TYPES code) { throw code; }

constexpr int kPixels = 128;
constexpr int kStride = 132;
constexpr int kTemperatureIndex = 128;
constexpr int kSpectrumPoints = 421;
constexpr int kShortPixels = 31;   // pixels 0-30 carry the first-order light that leaks into 80-127
constexpr int kLongFirst = 80;
constexpr int kLongPixels = 48;
constexpr float kDriftPerKelvin = 0.005429468f;

// Byte offsets in the device record (information block + factory block).
namespace device {
constexpr std::size_t kSensitivityTempCoeff = 64;
constexpr std::size_t kDarkRateExpCoeff = 68;
constexpr std::size_t kPixelTempSlope = 72;
constexpr std::size_t kPixelTempIntercept = 76;
constexpr std::size_t kDarkOffsetLinCoeff = 80;
constexpr std::size_t kWavelengths = 100;
constexpr std::size_t kReferenceIntegration = 616;
constexpr std::size_t kReferenceTemperature = 620;
constexpr std::size_t kSensitivity = 624;
constexpr std::size_t kStrayLight = 1136;   // [128][64]
constexpr std::size_t kLongWave = 33904;    // c1..c5
constexpr std::size_t kSize = 33928;
}  // namespace device

// Byte offsets in the calibration block.
namespace calib {
constexpr std::size_t kStatus = 0;
constexpr std::size_t kShift = 4;
constexpr std::size_t kDarkTemperature1 = 8;
constexpr std::size_t kDarkTemperature2 = 12;
constexpr std::size_t kDarkRate = 20;
constexpr std::size_t kDarkOffset = 1556;
constexpr std::size_t kTempCoeff = 2068;
constexpr std::size_t kWavelengths = 2580;
constexpr std::size_t kSize = 3092;
constexpr std::int32_t kShiftDone = 0x1;
constexpr std::int32_t kDarkDone = 0x2;
}  // namespace calib

// The caller's blocks carry no alignment promise: every access goes through memcpy.
template <typename T>
inline T load(const void* base, std::size_t offset)
{
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(base) + offset, sizeof v);
    return v;
}
template <typename T>
inline void store(void* base, std::size_t offset, T v)
{
    std::memcpy(static_cast<unsigned char*>(base) + offset, &v, sizeof v);
}
inline void loadFloats(const void* base, std::size_t offset, float* dst, int n)
{
    std::memcpy(dst, static_cast<const unsigned char*>(base) + offset, sizeof(float) * std::size_t(n));
}
inline void storeFloats(void* base, std::size_t offset, const float* src, int n)
{
    std::memcpy(static_cast<unsigned char*>(base) + offset, src, sizeof(float) * std::size_t(n));
}

// pixel[i] -= offset[i] + A + rate[i] * B, B and A from the temperature difference and integration times.
void correctTemperatureAndDark(float* pixels, float integrationTime, float referenceIntegrationTime,
                               float temperature, float referenceTemperature, float exponentialCoefficient,
                               float linearCoefficient, const float* darkRate, const float* darkOffset);

// Value at w of v sampled at ascending t[0..127]: cubic through four neighbours, v[127] at or above t[127].
float interpolate4(const float* t, const float* v, float w);

// Correction of pixels 80-127 from pixels 0-30 (second-order light), c = c1..c5.
void longWaveCorrection(const float c[5], const float* shortPixels, float correction[kLongPixels]);

// Irradiance pipeline: raw reading (128 pixels + temperature) to 421 points, 360-780 nm.
void irradiance(const float* raw, int integrationTime, const void* deviceRecord, const void* calibration,
                float out[kSpectrumPoints]);

// Dark calibration from two readings; jigu selects the given integration settings.
void darkCalibration(const float* readings, const void* deviceRecord, void* calibration, bool jigu,
                     unsigned setting1, unsigned setting2);

// Wavelength shift from a lamp-off and a lamp-on reading; checkSignal refuses a weak line (27).
float wavelengthShift(const float* readings, const void* deviceRecord, bool checkSignal);

// Fit stage: the shift that moves `difference` onto `target` over pixels [first, last] (the shift is -f of the
// best trial offset f), rounded to 0.001 nm; 7 when the fit fails or the shift exceeds 5 nm.
float fitShift(const float* target, const float* difference, const float* nominal, int first, int last);

// Window [first, last] around the long-wavelength line of a lamp profile.
void lineWindow(const float* profile, int& first, int& last);

}  // namespace vexcalib
