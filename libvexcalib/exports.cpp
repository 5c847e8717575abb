// The exported C interface of the calibration library; no exception leaves it.
#include "calibcore.h"
#include "vexcalib.h"

using namespace vexcalib;

namespace {

template <typename F>
int guarded(F&& f)
{
    try {
        f();
        return CALIB_OK;
    } catch (eCALIB_ERROR_TYPES code) {
        return code;
    } catch (...) {
        return CALIB_BAD_ARGUMENT;
    }
}

}  // namespace

extern "C" {

VEXCALIB_API int GetCalibVerion(int version[3])
{
    if (!version)
        return CALIB_BAD_ARGUMENT;
    version[0] = 1;
    version[1] = 20;
    version[2] = 0;
    return CALIB_OK;
}

VEXCALIB_API int CalcIrradiance(const float* raw, int integrationTime, int, const void* device,
                                const void* calibration, float out[421], int)
{
    if (!raw || !device || !calibration || !out)
        return CALIB_BAD_ARGUMENT;
    return guarded([&] {
        float spectrum[kSpectrumPoints];
        irradiance(raw, integrationTime, device, calibration, spectrum);
        std::memcpy(out, spectrum, sizeof spectrum);
    });
}

VEXCALIB_API int CalcRadiance(const float* raw, int integrationTime, int, const void* device,
                              const void* calibration, float out[421], int)
{
    if (!raw || !device || !calibration || !out)
        return CALIB_BAD_ARGUMENT;
    return guarded([&] { irradiance(raw, integrationTime, device, calibration, out); });
}

VEXCALIB_API int CorrectByTempAndDark(float* raw, int integrationTime, int referenceIntegrationTime,
                                      float temperature, float referenceTemperature, float exponentialCoefficient,
                                      float linearCoefficient, const float* darkRate, const float* darkOffset)
{
    if (!raw || !darkRate || !darkOffset)
        return 1;
    correctTemperatureAndDark(raw, float(integrationTime), float(referenceIntegrationTime), temperature,
                              referenceTemperature, exponentialCoefficient, linearCoefficient, darkRate, darkOffset);
    return CALIB_OK;
}

VEXCALIB_API int CalcWavelengthShift(const float* readings, int count, const void* device, void* calibration, int)
{
    if (!readings || !device || !calibration || count != 2)
        return CALIB_BAD_ARGUMENT;
    store<std::int32_t>(calibration, calib::kStatus,
                        load<std::int32_t>(calibration, calib::kStatus) & ~calib::kShiftDone);
    return guarded([&] {
        const float shift = wavelengthShift(readings, device, true);
        float wavelengths[kPixels];
        loadFloats(device, device::kWavelengths, wavelengths, kPixels);
        for (float& w : wavelengths)
            w -= shift;
        store<float>(calibration, calib::kShift, shift);
        storeFloats(calibration, calib::kWavelengths, wavelengths, kPixels);
        store<std::int32_t>(calibration, calib::kStatus,
                            load<std::int32_t>(calibration, calib::kStatus) | calib::kShiftDone);
    });
}

VEXCALIB_API int CalcWavelengthShift_JIGU(const float* readings, const void* device, void* result)
{
    if (!readings || !device || !result)
        return CALIB_BAD_ARGUMENT;
    float shift = 0.0f;
    const int code = guarded([&] { shift = wavelengthShift(readings, device, false); });
    store<float>(result, 4, code == CALIB_OK ? shift : 0.0f);
    return code;
}

VEXCALIB_API int CalcCalibRadiance(const float* readings, int count, const void* device, void* calibration, int)
{
    if (!readings || !device || !calibration || count != 2)
        return CALIB_BAD_ARGUMENT;
    return guarded([&] { darkCalibration(readings, device, calibration, false, 0, 0); });
}

// The irradiance variant is the same entry point.
VEXCALIB_API int CalcCalibIrradiance(const float* readings, int count, const void* device, void* calibration,
                                     int unused) __attribute__((alias("CalcCalibRadiance")));

VEXCALIB_API int CalcCalibRadiance_JIGU(const float* readings, int count, const void* device, void* calibration,
                                        unsigned setting1, unsigned setting2)
{
    // Equal settings leave no slope to take the intercept from.
    if (!readings || !device || !calibration || count != 2 || setting1 == setting2)
        return CALIB_BAD_ARGUMENT;
    return guarded([&] { darkCalibration(readings, device, calibration, true, setting1, setting2); });
}

VEXCALIB_API int CalcZero(void*, void*, void*, void*, void*)
{
    return CALIB_NOT_SUPPORTED;
}

VEXCALIB_API int CalcCalibRef(void* a1, void* a2, void* a3, void* a4, void* a5) __attribute__((alias("CalcZero")));

VEXCALIB_API int CalcPreRadianceFactor(void*, void*, void*, void*, void*, void*)
{
    return CALIB_NOT_SUPPORTED;
}

VEXCALIB_API int CalcPatchSearch(void*, void*, void*, void*, void*, void*, void*)
{
    return CALIB_NOT_SUPPORTED;
}

}  // extern "C"
