/* libvexapi: the Vex interface to the Lumet illuminance spectrophotometer.
 * Plain C exports returning a signed 32-bit code: 0 success, 10 null device handle, otherwise the
 * function's number x 100 + a detail. Lower-layer codes go into the device's error history
 * (VexGetPrevError). Records are host order and laid out as the static_asserts below say. */
#ifndef VEXAPI_H
#define VEXAPI_H

#if defined(__cplusplus)
#include <cstddef>
#define VEXAPI_EXTERN extern "C"
#else
#include <stddef.h>
#define VEXAPI_EXTERN
#endif

#define VEXAPI_API VEXAPI_EXTERN __attribute__((visibility("default")))

typedef void* VEX_HANDLE;

typedef struct VexDateTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
} VexDateTime;

/* 88 bytes, filled by VexGetDeviceID. */
typedef struct VexDeviceID {
    unsigned char model[4];
    unsigned char modelByte;
    unsigned char reserved0[3];
    int serialNumber;           /* the eight BCD digits of the instrument as a decimal number */
    int mainFirmware[3];        /* major, minor, build */
    int secondFirmware[3];
    int thirdFirmware[3];
    int reserved1[3];
    unsigned int infoValue16;   /* info block bytes 16-17 */
    unsigned int infoValue18;
    unsigned int infoValue19;
    int reserved2[3];
    int deviceType;             /* 100 for a Lumet */
} VexDeviceID;

/* 1724 bytes: one stored measurement. */
typedef struct VexStoredMeasurement {
    float values[421];          /* kind 8: the spectrum 360-780 nm at 1 nm */
    VexDateTime date;
    int observer;
    int value1;
    int value2;
    int value3;
} VexStoredMeasurement;

/* 1724 bytes: a target spectrum or the factors of a user calibration. */
typedef struct VexTargetData {
    float values[421];
    VexDateTime date;
    char name[12];
    int reserved;
} VexTargetData;
typedef VexTargetData VexUserCalibrationData;

/* 216 bytes: one rank entry. */
typedef struct VexRankData {
    int type;                   /* 0 vertices in (x, y), 1 in (T, duv) */
    char name[44];
    float xy[20];
    float tduv[20];
    int vertexCount;
    int flag;
} VexRankData;

/* 44 bytes: the codes pushed during the last call, oldest first; 9 marks an empty slot. */
typedef struct VexErrorHistory {
    int codes[10];
    int count;
} VexErrorHistory;

/* Memory block access of DevIOCtrl 0xF0. */
typedef struct VexMemoryRequest {
    int operation;              /* 0, 2 read; 1 write; 3, 4 command without data */
    int block;                  /* 0 info, 1 factory, 2, 3 calibration */
    int length;
    void* buffer;
} VexMemoryRequest;

#if defined(__cplusplus)
static_assert(sizeof(VexDateTime) == 24, "VexDateTime");
static_assert(sizeof(VexDeviceID) == 88, "VexDeviceID");
static_assert(offsetof(VexDeviceID, modelByte) == 4 && offsetof(VexDeviceID, serialNumber) == 8 &&
                  offsetof(VexDeviceID, mainFirmware) == 12 && offsetof(VexDeviceID, secondFirmware) == 24 &&
                  offsetof(VexDeviceID, thirdFirmware) == 36 && offsetof(VexDeviceID, infoValue16) == 60 &&
                  offsetof(VexDeviceID, infoValue18) == 64 && offsetof(VexDeviceID, infoValue19) == 68 &&
                  offsetof(VexDeviceID, deviceType) == 84,
              "VexDeviceID fields");
static_assert(sizeof(VexStoredMeasurement) == 1724, "VexStoredMeasurement");
static_assert(offsetof(VexStoredMeasurement, date) == 1684 && offsetof(VexStoredMeasurement, observer) == 1708 &&
                  offsetof(VexStoredMeasurement, value1) == 1712 && offsetof(VexStoredMeasurement, value2) == 1716 &&
                  offsetof(VexStoredMeasurement, value3) == 1720,
              "VexStoredMeasurement fields");
static_assert(sizeof(VexTargetData) == 1724 && offsetof(VexTargetData, date) == 1684 &&
                  offsetof(VexTargetData, name) == 1708 && offsetof(VexTargetData, reserved) == 1720,
              "VexTargetData");
static_assert(sizeof(VexRankData) == 216 && offsetof(VexRankData, name) == 4 && offsetof(VexRankData, xy) == 48 &&
                  offsetof(VexRankData, tduv) == 128 && offsetof(VexRankData, vertexCount) == 208 &&
                  offsetof(VexRankData, flag) == 212,
              "VexRankData");
static_assert(sizeof(VexErrorHistory) == 44 && offsetof(VexErrorHistory, count) == 40, "VexErrorHistory");
#if defined(__x86_64__)
static_assert(sizeof(VexMemoryRequest) == 24 && offsetof(VexMemoryRequest, length) == 8 &&
                  offsetof(VexMemoryRequest, buffer) == 16,
              "VexMemoryRequest");
#endif
#endif

VEXAPI_API int VexOpenDevice(VEX_HANDLE* handle);
VEXAPI_API int VexCloseDevice(VEX_HANDLE handle);
VEXAPI_API int VexSetRemoteMode(VEX_HANDLE handle, int mode);
VEXAPI_API int VexGetRemoteMode(VEX_HANDLE handle, int* mode);
VEXAPI_API int VexGetDeviceID(VEX_HANDLE handle, VexDeviceID* id);
/* Four {major, minor, build} triples: libvexapi, libvexcalib, libvexhid, libvexcolor. */
VEXAPI_API int VexGetSDKVersion(int* versions12);
VEXAPI_API int VexGetDeviceStoredDataNum(VEX_HANDLE handle, int* count);
VEXAPI_API int VexGetDeviceStoredData(VEX_HANDLE handle, VexStoredMeasurement* records, int kind, int capacity);
VEXAPI_API int VexGetPrevError(VEX_HANDLE handle, VexErrorHistory* history);
VEXAPI_API int DevIOCtrl(VEX_HANDLE handle, int code, void* data);

#endif
