#include "synthetic/synthetic.h"

#include <cstring>

namespace vexcalib::synthetic {
namespace {

template <typename T>
void put(std::vector<unsigned char>& b, std::size_t offset, const T& v)
{
    std::memcpy(b.data() + offset, &v, sizeof v);
}

template <typename T>
void get(const unsigned char* b, std::size_t offset, T& v)
{
    std::memcpy(&v, b + offset, sizeof v);
}

}  // namespace

float nominalWavelength(int pixel)
{
    return 360.0f + 420.0f * float(pixel) / 127.0f;
}

FactoryData identityFactory(std::int32_t referenceIntegrationTime, float referenceTemperature)
{
    FactoryData f;
    for (int i = 0; i < kPixels; ++i) {
        f.wavelength[i] = nominalWavelength(i);
        f.sensitivity[i] = 1.0f;
        f.strayLight[i][i / 2] = 1.0f;
    }
    f.referenceIntegrationTime = referenceIntegrationTime;
    f.referenceTemperature = referenceTemperature;
    f.longWave = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    return f;
}

CalibrationData identityCalibration(const FactoryData& factory, float darkTemperature)
{
    CalibrationData c;
    c.status = 0x3;
    c.darkTemperature1 = c.darkTemperature2 = darkTemperature;
    c.wavelength = factory.wavelength;
    return c;
}

std::vector<unsigned char> deviceRecord(const FactoryData& f)
{
    std::vector<unsigned char> b(kDeviceRecordSize, 0);
    put(b, 64, f.sensitivityTempCoeff);
    put(b, 68, f.darkRateExpCoeff);
    put(b, 72, f.pixelTempSlope);
    put(b, 76, f.pixelTempIntercept);
    put(b, 80, f.darkOffsetLinCoeff);
    put(b, 100, f.wavelength);
    put(b, 616, f.referenceIntegrationTime);
    put(b, 620, f.referenceTemperature);
    put(b, 624, f.sensitivity);
    put(b, 1136, f.strayLight);
    put(b, 33904, f.longWave);
    return b;
}

std::vector<unsigned char> calibrationBlock(const CalibrationData& c)
{
    std::vector<unsigned char> b(kCalibrationBlockSize, 0);
    put(b, 0, c.status);
    put(b, 4, c.shift);
    put(b, 8, c.darkTemperature1);
    put(b, 12, c.darkTemperature2);
    put(b, 20, c.darkRate);
    put(b, 1556, c.darkOffset);
    put(b, 2068, c.tempCoeff);
    put(b, 2580, c.wavelength);
    return b;
}

CalibrationData readCalibration(const unsigned char* b)
{
    CalibrationData c;
    get(b, 0, c.status);
    get(b, 4, c.shift);
    get(b, 8, c.darkTemperature1);
    get(b, 12, c.darkTemperature2);
    get(b, 20, c.darkRate);
    get(b, 1556, c.darkOffset);
    get(b, 2068, c.tempCoeff);
    get(b, 2580, c.wavelength);
    return c;
}

}  // namespace vexcalib::synthetic
