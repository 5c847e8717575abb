#pragma once
// Chart-scanner instrument library: the calls the program makes, with their records. Every call returns 0 on
// success. Events reach the program through one registered handler, one at a time, on the library's thread.

#include <stddef.h>
#include <stdint.h>

#if defined(ORLOSDK_BUILD)
#define ORLOSDK_API __attribute__((visibility("default")))
#else
#define ORLOSDK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define ORLO_MAX_AREAS 50
#define ORLO_SHEET_RECORD_SIZE 1172
#define ORLO_BLOCK_SIZE 152

/* One reachable instrument; the same layout is the connection record (identity then zero). */
typedef struct OrloDeviceEntry {
    int32_t kind;      /* 1 USB, 0 network */
    char name[32];     /* name or address, not terminated when full */
    char identity[8];  /* serial number text */
} OrloDeviceEntry;

typedef struct OrloSystemInfo {
    char maker[4];         /* "Orlo" */
    char model[12];
    int32_t firmware[3];
    char serial[8];        /* the instrument's 8-character serial */
    uint8_t reserved[64];
} OrloSystemInfo;

typedef struct OrloStatus {
    uint8_t deviceState;    /* 0 idle, 1 holds a run that can be continued, 2 busy */
    uint8_t stateFlag;      /* 1: a run is held */
    uint8_t calibrationDue; /* 1: periodic calibration due */
    uint8_t reserved0[13];
    int32_t state;          /* 1 ready, 101 cover open */
    int32_t reserved1[2];
    int32_t otherComputer;  /* written by the caller */
} OrloStatus;

typedef struct OrloMeasurePoint {
    int32_t x, y; /* 0.01 mm */
    int32_t area, row, column;
} OrloMeasurePoint;

typedef struct OrloClipRecord {
    int32_t area, left, top, right, bottom; /* pixels */
} OrloClipRecord;

typedef struct OrloColorCheckEntry {
    int32_t area, row, column;
    float value[3];
    int32_t reserved;
} OrloColorCheckEntry;

/* Followed in memory by count entries. */
typedef struct OrloColorCheckList {
    int32_t flag;  /* 0: C, M, Y percent; 1: RGB 0-255 */
    int32_t count;
} OrloColorCheckList;

static inline OrloColorCheckEntry* OrloColorCheckEntries(OrloColorCheckList* list)
{
    return (OrloColorCheckEntry*)(list + 1);
}

static inline const OrloColorCheckEntry* OrloColorCheckEntriesConst(const OrloColorCheckList* list)
{
    return (const OrloColorCheckEntry*)(list + 1);
}

typedef struct OrloImage {
    int32_t width, height, bitsPerPixel;
    uint8_t* pixels;
} OrloImage;

typedef struct OrloLayoutRecord {
    int32_t width, height;          /* page, 0.01 mm */
    int32_t areaCount, patchCount;
    int32_t areaCounts[ORLO_MAX_AREAS][3];   /* rows, columns, patches */
    int32_t areaGeometry[ORLO_MAX_AREAS][6]; /* left, top, patch width, patch height, pitch x, pitch y */
    int32_t flag;                   /* 1: image below is set */
    int32_t clipCount;
    int32_t clips[ORLO_MAX_AREAS][8];
    OrloImage image;
} OrloLayoutRecord;

typedef struct OrloCaptureText {
    int32_t status;                      /* 0 when a QR code was read */
    char record[ORLO_SHEET_RECORD_SIZE]; /* sheet information record */
} OrloCaptureText;

typedef struct OrloChartImage {
    int32_t width, height, bitsPerPixel;
    int32_t clipCapacity;   /* in: room in clips */
    int32_t clipCount;      /* out */
    OrloClipRecord* clips;
    uint8_t* pixels;        /* room for the capacity given to the call */
} OrloChartImage;

typedef void (*OrloEventHandler)(int code, int value, void* data, int count);

ORLOSDK_API int Orlo_RegisterDeviceEventHandler(OrloEventHandler handler);
ORLOSDK_API int Orlo_GetDeviceList(OrloDeviceEntry* entries, int32_t* count, int capacity);
ORLOSDK_API int Orlo_Connect(const OrloDeviceEntry* record, const char* clientName);
ORLOSDK_API int Orlo_Disconnect(void);
ORLOSDK_API int Orlo_GetSystemInfo(OrloSystemInfo* info);
ORLOSDK_API int Orlo_GetStatus(OrloStatus* status);
ORLOSDK_API int Orlo_RegisterJob(int32_t* job, const char name[16], int sheetCount, int reserved);
ORLOSDK_API int Orlo_DeleteJob(const int32_t* job);
ORLOSDK_API int Orlo_StartMeasurement2(int option, int one);
ORLOSDK_API int Orlo_StartCapture(void);
ORLOSDK_API int Orlo_GetCaptureResult(int32_t* width, int32_t* height, int32_t* bitsPerPixel, OrloCaptureText* text,
                                      OrloImage* image);
ORLOSDK_API int Orlo_StartPatchRecognition(int job, int page, const OrloLayoutRecord* layout, int mode,
                                           const OrloColorCheckList* colours);
ORLOSDK_API int Orlo_GetPatchRecognitionResult2(int32_t* resultCode, int reserved, OrloLayoutRecord* out);
ORLOSDK_API int Orlo_GetMeasurePoint(OrloMeasurePoint* points, int32_t* count);
ORLOSDK_API int Orlo_SetOption(int group, int value);
ORLOSDK_API int Orlo_GetData(const int32_t selection[3], float* out, int count);
ORLOSDK_API int Orlo_CalculateData(float* out, int outCount, const float* input, int inputCount);
ORLOSDK_API int Orlo_StopMeasurement(unsigned char feedNext);
ORLOSDK_API int Orlo_ExitMeasurement(int reserved1, int reserved2);
ORLOSDK_API int Orlo_GetPatchRecogResult(char text[ORLO_SHEET_RECORD_SIZE], OrloLayoutRecord* out);
ORLOSDK_API int Orlo_ClippingChart(int page);
ORLOSDK_API int Orlo_GetChartImage(OrloChartImage* out, int capacityBytes);
ORLOSDK_API int Orlo_GetNetworkSetting(char name[16], int32_t* dhcp, uint8_t address[4], uint8_t mask[4],
                                       uint8_t gateway[4]);
ORLOSDK_API int Orlo_SetNetworkSetting(const char name[16], int32_t dhcp, const uint8_t address[4],
                                       const uint8_t mask[4], const uint8_t gateway[4]);
ORLOSDK_API int Orlo_RegisterUserIlluminant(const float values[97]);
ORLOSDK_API int Orlo_CreateBarcodeImage(const char* path, const uint8_t* sheetRecord, int level, int pixelsPerModule);
ORLOSDK_API int Orlo_GetPremeasurementError(int reserved1, int reserved2);

ORLOSDK_API int JIG_TileMeasurement(float* blocks, int count);
ORLOSDK_API int JIG_CalculateDeltaE2000(float* out, const float* sampleLab, const float* standardLab);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(OrloDeviceEntry) == 44, "device entry");
static_assert(sizeof(OrloSystemInfo) == 100 && offsetof(OrloSystemInfo, serial) == 28, "system information");
static_assert(sizeof(OrloStatus) == 32 && offsetof(OrloStatus, state) == 16 &&
                  offsetof(OrloStatus, otherComputer) == 28,
              "status");
static_assert(sizeof(OrloMeasurePoint) == 20, "measure point");
static_assert(sizeof(OrloClipRecord) == 20, "clip record");
static_assert(sizeof(OrloColorCheckEntry) == 28, "colour-check entry");
static_assert(sizeof(OrloColorCheckList) == 8, "colour-check list head");
static_assert(offsetof(OrloLayoutRecord, areaCounts) == 16 && offsetof(OrloLayoutRecord, areaGeometry) == 616 &&
                  offsetof(OrloLayoutRecord, flag) == 1816 && offsetof(OrloLayoutRecord, clips) == 1824 &&
                  offsetof(OrloLayoutRecord, image) == 3424,
              "layout record");
static_assert(sizeof(void*) != 8 ||
                  (sizeof(OrloLayoutRecord) == 3448 && offsetof(OrloLayoutRecord, image.pixels) == 3440),
              "layout record on 64-bit builds");
static_assert(sizeof(OrloCaptureText) == 4 + ORLO_SHEET_RECORD_SIZE, "capture text");
#endif
