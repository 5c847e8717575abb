// Synthetic device records and calibration blocks in the layout the calibration library reads: the identity
// calibration and blocks with chosen coefficients.  Not part of the shared libraries.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vexcalib::synthetic {

constexpr int kPixels = 128;
constexpr std::size_t kDeviceRecordSize = 56 + 33872;
constexpr std::size_t kCalibrationBlockSize = 3092;

// Factory data of the device record (information block bytes stay zero).
struct FactoryData {
    float sensitivityTempCoeff = 0;    // per kelvin, scales the per-pixel coefficient
    float darkRateExpCoeff = 0;        // exponential temperature coefficient of the dark rate
    float pixelTempSlope = 0;          // per-pixel temperature coefficient = intercept + slope * wavelength
    float pixelTempIntercept = 0;
    float darkOffsetLinCoeff = 0;      // linear temperature coefficient of the dark offset
    std::array<float, kPixels> wavelength{};
    std::int32_t referenceIntegrationTime = 0;
    float referenceTemperature = 0;
    std::array<float, kPixels> sensitivity{};
    std::array<std::array<float, 64>, kPixels> strayLight{};  // stored compactly: row j, same-parity columns
    std::array<float, 5> longWave{};                          // c1..c5
};

struct CalibrationData {
    std::int32_t status = 0;
    float shift = 0;
    float darkTemperature1 = 0;
    float darkTemperature2 = 0;
    std::array<float, kPixels> darkRate{};
    std::array<float, kPixels> darkOffset{};
    std::array<float, kPixels> tempCoeff{};
    std::array<float, kPixels> wavelength{};
};

// 360 + 420 i / 127 nm.
float nominalWavelength(int pixel);

// Nominal wavelengths, unit sensitivity, an identity stray-light matrix and no second-order light.
FactoryData identityFactory(std::int32_t referenceIntegrationTime = 50000, float referenceTemperature = 25.0f);
// Both calibrations done, no dark signal, wavelengths as nominal, dark reference temperature as given.
CalibrationData identityCalibration(const FactoryData& factory, float darkTemperature = 25.0f);

std::vector<unsigned char> deviceRecord(const FactoryData& factory);
std::vector<unsigned char> calibrationBlock(const CalibrationData& calibration);
CalibrationData readCalibration(const unsigned char* block);

}  // namespace vexcalib::synthetic
