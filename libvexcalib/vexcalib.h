/* libvexcalib: calibrated spectra from raw sensor readings, and the dark and wavelength calibrations.
 * Plain C interface; every function returns 0 when done, otherwise a result code.  The device record is the
 * information block followed by the factory block, the calibration block is the 3092-byte block that goes with
 * it; both are read (and the calibration block written) by byte offset, so any alignment will do. */
#ifndef VEXCALIB_H
#define VEXCALIB_H

#if defined(_WIN32)
#  define VEXCALIB_API __declspec(dllexport)
#else
#  define VEXCALIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
enum {
    VEXCALIB_OK = 0,
    VEXCALIB_BAD_ARGUMENT = 4,
    VEXCALIB_DIFFERENCE_FAILED = 5,
    VEXCALIB_SHIFT_FAILED = 7,
    VEXCALIB_SENSITIVITY_FAILED = 13,
    VEXCALIB_DARK_CORRECTION_FAILED = 14,
    VEXCALIB_INTEGRATION_FAILED = 16,
    VEXCALIB_STRAY_LIGHT_FAILED = 17,
    VEXCALIB_RESAMPLING_FAILED = 18,
    VEXCALIB_SIGNAL_TOO_WEAK = 27,
    VEXCALIB_DARK_SATURATED = 28,
    VEXCALIB_NOT_SUPPORTED = 31
};

#define VEXCALIB_PIXELS 128
#define VEXCALIB_READING_STRIDE 132          /* floats per raw reading; element 128 is the temperature */
#define VEXCALIB_SPECTRUM_POINTS 421         /* 360-780 nm at 1 nm */
#define VEXCALIB_DEVICE_RECORD_SIZE 33928    /* 56-byte information block + 33872-byte factory block */
#define VEXCALIB_CALIBRATION_BLOCK_SIZE 3092
#define VEXCALIB_STATUS_SHIFT_DONE 0x1
#define VEXCALIB_STATUS_DARK_DONE 0x2

VEXCALIB_API int GetCalibVerion(int version[3]);

VEXCALIB_API int CalcIrradiance(const float* raw, int integrationTime, int unused1, const void* device,
                                const void* calibration, float out[421], int unused2);
VEXCALIB_API int CalcRadiance(const float* raw, int integrationTime, int unused1, const void* device,
                              const void* calibration, float out[421], int unused2);
VEXCALIB_API int CorrectByTempAndDark(float* raw, int integrationTime, int referenceIntegrationTime,
                                      float temperature, float referenceTemperature, float exponentialCoefficient,
                                      float linearCoefficient, const float* darkRate, const float* darkOffset);

/* Two readings of 132 floats: lamp off, then lamp on. */
VEXCALIB_API int CalcWavelengthShift(const float* readings, int count, const void* device, void* calibration,
                                     int unused);
/* Writes the shift (float) into the second 32-bit field of the result record. */
VEXCALIB_API int CalcWavelengthShift_JIGU(const float* readings, const void* device, void* result);

/* Two dark readings of 132 floats (integration settings 50000 and 1600, or setting1 and setting2). */
VEXCALIB_API int CalcCalibRadiance(const float* readings, int count, const void* device, void* calibration,
                                   int unused);
VEXCALIB_API int CalcCalibIrradiance(const float* readings, int count, const void* device, void* calibration,
                                     int unused);
VEXCALIB_API int CalcCalibRadiance_JIGU(const float* readings, int count, const void* device, void* calibration,
                                        unsigned setting1, unsigned setting2);

/* Not supported by this instrument family; always 31. */
VEXCALIB_API int CalcZero(void* a1, void* a2, void* a3, void* a4, void* a5);
VEXCALIB_API int CalcCalibRef(void* a1, void* a2, void* a3, void* a4, void* a5);
VEXCALIB_API int CalcPreRadianceFactor(void* a1, void* a2, void* a3, void* a4, void* a5, void* a6);
VEXCALIB_API int CalcPatchSearch(void* a1, void* a2, void* a3, void* a4, void* a5, void* a6, void* a7);

#ifdef __cplusplus
}
#endif

#endif
