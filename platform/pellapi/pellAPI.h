#pragma once
// Handheld instrument library: every call returns 0 on success (ZUGetNumSamples returns the count). The first
// argument of every call but ZUEnumDevice is the device handle; 0 means none.

#include <stddef.h>
#include <stdint.h>

#if defined(PELLAPI_BUILD)
#define PELLAPI_API __attribute__((visibility("default")))
#else
#define PELLAPI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define PELL_BLOCK_SIZE 152
#define PELL_ILLUMINANT_SIZE 97
#define PELL_PROPERTY_CONNECTION 8

typedef struct PellDeviceInfo {
    char maker[8];
    int32_t serial;
    char name[32];
    uint8_t reserved[56];
    int32_t modelCode; /* 100, 200 or 210 */
} PellDeviceInfo;

PELLAPI_API int ZUEnumDevice(int* handle);
PELLAPI_API int ZUSetProperty(int handle, int property, const int* value);
PELLAPI_API int ZUGetProperty(int handle, int property, int* value);
PELLAPI_API int ZUGetDevInfo(int handle, PellDeviceInfo* info);
PELLAPI_API int ZUGetButtonStatus(int handle, int* scanComplete, int* held);
PELLAPI_API int ZUDoMeasurement(int handle);
PELLAPI_API int ZUGetNumSamples(int handle);
PELLAPI_API int ZUGetPreRadianceFactor(int handle, int sample, float* block);
PELLAPI_API int ZUGetColor(int handle, int sample, float xyz[3]);
PELLAPI_API int ZUGetUserIlluminant(int handle, float values[PELL_ILLUMINANT_SIZE]);
PELLAPI_API int ZUCloseDevice(int handle);

#ifdef __cplusplus
}
static_assert(sizeof(PellDeviceInfo) == 104 && offsetof(PellDeviceInfo, serial) == 8 &&
                  offsetof(PellDeviceInfo, modelCode) == 100,
              "information record");
#endif
