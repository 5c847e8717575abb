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

/* 64 bytes: measurement settings, one field per type. */
typedef struct VexMeasSetting {
    int type0;                  /* 0..2 */
    int type1;                  /* 0..1 */
    int type2;                  /* 0..7 */
    int type3;                  /* 0..1 */
    int range;                  /* type 4: 0..3 */
    int userCalibration;        /* type 5: 0 = none, 1..10 */
    int target;                 /* type 6: 1..20 */
    int type7[4];               /* each 0..40 */
    int type8;                  /* 0..2 */
    unsigned short type9[3];    /* first 0..999 */
    unsigned short wavelengths[4]; /* type 10: each 360..780 nm */
    unsigned char reserved[2];
} VexMeasSetting;

/* 52 bytes: system settings, one field per type. */
typedef struct VexSystemSetting {
    VexDateTime clock;          /* type 0 */
    int type1;                  /* 0..1 */
    int type2;                  /* 0..1 */
    int type3;                  /* 0..2 */
    int type4;                  /* 0..2 */
    int type5;                  /* 0..4 */
    int type6;                  /* 0..1 */
    int type7;                  /* 0..1 */
} VexSystemSetting;

/* 24 bytes: the rank a measurement falls in. */
typedef struct VexRankResult {
    float value;                /* the illuminance of the classified point */
    char name[16];              /* the entry's name cut to 15 characters, or "N/A" */
    int index;                  /* rank number 1..20 from VexSortOutRank; -10000 when none */
} VexRankResult;

/* 48 bytes: the manual-measurement parameters 0..11. */
typedef struct VexManualParam {
    int params[12];
} VexManualParam;

/* 20 bytes. */
typedef struct VexButtonStatus {
    int buttons[5];
} VexButtonStatus;

/* 36 bytes: main, second and third firmware {major, minor, build}. */
typedef struct VexFirmwareVersion {
    int versions[3][3];
} VexFirmwareVersion;

/* Raw values of DevIOCtrl 0xAE (unsigned short buffer) and 0xAF (float buffer). */
typedef struct VexRawRequest {
    int first;
    int count;
    void* buffer;
} VexRawRequest;

/* 8008 bytes: the bulk record of DevIOCtrl 0xF2 / 0xF3. */
typedef struct VexBulkRecord {
    unsigned long long value;
    unsigned short values[4000];
} VexBulkRecord;

#define VEX_FACTORY_DATA_SIZE 33928     /* info block then factory block */
#define VEX_CALIBRATION_DATA_SIZE 3092
#define VEX_RAW_STRIDE 132              /* floats per raw spectrum */

#if defined(__cplusplus)
static_assert(sizeof(VexMeasSetting) == 64 && offsetof(VexMeasSetting, range) == 16 &&
                  offsetof(VexMeasSetting, userCalibration) == 20 && offsetof(VexMeasSetting, target) == 24 &&
                  offsetof(VexMeasSetting, type7) == 28 && offsetof(VexMeasSetting, type8) == 44 &&
                  offsetof(VexMeasSetting, type9) == 48 && offsetof(VexMeasSetting, wavelengths) == 54 &&
                  offsetof(VexMeasSetting, reserved) == 62,
              "VexMeasSetting");
static_assert(sizeof(VexSystemSetting) == 52 && offsetof(VexSystemSetting, type1) == 24 &&
                  offsetof(VexSystemSetting, type3) == 32 && offsetof(VexSystemSetting, type7) == 48,
              "VexSystemSetting");
static_assert(sizeof(VexRankResult) == 24 && offsetof(VexRankResult, name) == 4 && offsetof(VexRankResult, index) == 20,
              "VexRankResult");
static_assert(sizeof(VexManualParam) == 48, "VexManualParam");
static_assert(sizeof(VexButtonStatus) == 20, "VexButtonStatus");
static_assert(sizeof(VexFirmwareVersion) == 36, "VexFirmwareVersion");
static_assert(sizeof(VexBulkRecord) == 8008 && offsetof(VexBulkRecord, values) == 8, "VexBulkRecord");
#if defined(__x86_64__)
static_assert(sizeof(VexRawRequest) == 16 && offsetof(VexRawRequest, count) == 4 &&
                  offsetof(VexRawRequest, buffer) == 8,
              "VexRawRequest");
#endif
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
VEXAPI_API int DevRead(VEX_HANDLE handle, void* buffer64, int size);
VEXAPI_API int DevWrite(VEX_HANDLE handle, void* data, int size);

/* Measurement and calibration. */
VEXAPI_API int VexDoMeasurement(VEX_HANDLE handle, int* value);
VEXAPI_API int VexDoManualMeasurement(VEX_HANDLE handle, int key1, int key2);
VEXAPI_API int VexPollingMeasure(VEX_HANDLE handle, int* state);
VEXAPI_API int VexStopMeasurement(VEX_HANDLE handle);
VEXAPI_API int VexGetMeasData(VEX_HANDLE handle, int kind, float* values);
VEXAPI_API int VexDoCalibration(VEX_HANDLE handle);
VEXAPI_API int VexPollingCalibration(VEX_HANDLE handle, int* state);
VEXAPI_API int VexGetCalibrateStatus(VEX_HANDLE handle, int* status);
VEXAPI_API int VexGetWarning(VEX_HANDLE handle, int* warning);
VEXAPI_API int VexGetButtonStatus(VEX_HANDLE handle, VexButtonStatus* status);
VEXAPI_API int VexGetProperty(VEX_HANDLE handle, int id, int* value);
VEXAPI_API int VexSetProperty(VEX_HANDLE handle, int id, int value);
VEXAPI_API int VexManualMeasurement(VEX_HANDLE handle, int p0, int p1, int p2);
/* result: a 3092-byte calibration block that receives the dark calibration. */
VEXAPI_API int VexDoDarkCalib(VEX_HANDLE handle, void* result, int setting1, int setting2);

/* All open devices at once. */
VEXAPI_API int VexDoMeasurementAll(int* value);
VEXAPI_API int VexDoManualMeasurementAll(int key1, int key2);
VEXAPI_API int VexPollingMeasureAll(int* state);
VEXAPI_API int VexStopMeasurementAll(void);

/* Stored measurements, targets, user calibrations, ranks. */
VEXAPI_API int VexSetDeviceStoredData(VEX_HANDLE handle, const VexStoredMeasurement* records, int count);
VEXAPI_API int VexDeleteDeviceStoredData(VEX_HANDLE handle, int number);
VEXAPI_API int VexGetTargetData(VEX_HANDLE handle, int number, VexTargetData* record);
VEXAPI_API int VexSetTargetData(VEX_HANDLE handle, int number, const VexTargetData* record);
VEXAPI_API int VexDeleteTargetData(VEX_HANDLE handle, int number);
VEXAPI_API int VexGetUserCalibrationData(VEX_HANDLE handle, int number, VexUserCalibrationData* record);
VEXAPI_API int VexSetUserCalibrationData(VEX_HANDLE handle, int number, const VexUserCalibrationData* record);
VEXAPI_API int VexDeleteUserCalibrationData(VEX_HANDLE handle, int number);
VEXAPI_API int VexCalcUserCalibrationData(VEX_HANDLE handle, float* out, const float* a, const float* b);
VEXAPI_API int VexGetRankData(VEX_HANDLE handle, int number, VexRankData* record);
VEXAPI_API int VexSetRankData(VEX_HANDLE handle, int number, const VexRankData* record);
VEXAPI_API int VexDeleteRankData(VEX_HANDLE handle, int number);
VEXAPI_API int VexSortOutRank(VEX_HANDLE handle, VexRankResult* result);
VEXAPI_API int VexGetColorDifference(VEX_HANDLE handle, int kind, float* result);

/* Settings. */
VEXAPI_API int VexGetMeasSetting(VEX_HANDLE handle, int type, VexMeasSetting* setting);
VEXAPI_API int VexSetMeasSetting(VEX_HANDLE handle, int type, const VexMeasSetting* setting);
VEXAPI_API int VexGetSystemSetting(VEX_HANDLE handle, int type, VexSystemSetting* setting);
VEXAPI_API int VexSetSystemSetting(VEX_HANDLE handle, int type, const VexSystemSetting* setting);
VEXAPI_API int VexGetPeriodicCalDate(VEX_HANDLE handle, int which, VexDateTime* date);
VEXAPI_API int VexSetPeriodicCalDate(VEX_HANDLE handle, const VexDateTime* date);
VEXAPI_API int VexGetListItem(VEX_HANDLE handle, int item, int* value);
VEXAPI_API int VexSetListItem(VEX_HANDLE handle, int item, int value);

/* Service. */
VEXAPI_API int VexGetFactoryDataSDK(VEX_HANDLE handle, void* record33928);
VEXAPI_API int VexGetCalibDataSDK(VEX_HANDLE handle, void* block3092);
VEXAPI_API int VexSetCalibDataSDK(VEX_HANDLE handle, const void* block3092);
/* spectra: capacity x 132 floats; count receives the number held, value the integration value. */
VEXAPI_API int VexGetRawDataSDK(VEX_HANDLE handle, float* spectra, int* value, int capacity, int* count);
/* Two lamp readings of 132 floats, the 33928-byte device record, and a result record whose second
 * 32-bit field receives the shift. */
VEXAPI_API int VexCalWavelengthShift(const float* readings, const void* device, void* result);

#endif
