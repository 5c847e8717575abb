#pragma once
// Control side of the simulated chart scanner, for tests and demos only: sheets, event delivery, forced states
// and failures, and the log of every library call.

#include "OrloSDK.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { OrloSim_Thread = 0, OrloSim_Manual = 1 };

typedef struct OrloSimArea {
    int32_t rows, columns;
    int32_t left, top;                /* 0.01 mm */
    int32_t patchWidth, patchHeight;  /* 0.01 mm */
    int32_t pitchX, pitchY;           /* origin to origin, 0.01 mm */
} OrloSimArea;

typedef struct OrloSimSheet {
    int32_t width, height;        /* page, 0.01 mm */
    int32_t areaCount;
    const OrloSimArea* areas;
    const float* inks;            /* C, M, Y, K (0..1) per patch in area, row, column order */
    const uint8_t* sheetRecord;   /* drawn as a QR code when given */
    int32_t qrLeft, qrTop;        /* 0.01 mm */
    int32_t rotate90;             /* 1: the page lies turned by 90 degrees clockwise */
} OrloSimSheet;

/* Back to the start-up state: disconnected, no handler, no sheets, jobs or faults, log empty. */
ORLOSDK_API void OrloSim_Reset(void);
ORLOSDK_API void OrloSim_SetDelivery(int mode);
/* Manual delivery: runs events on the calling thread; returns how many were delivered. */
ORLOSDK_API int OrloSim_DeliverPending(void);
ORLOSDK_API int OrloSim_DeliverOne(void);
ORLOSDK_API int OrloSim_PendingEvents(void);

ORLOSDK_API int OrloSim_InsertSheet(const OrloSimSheet* sheet);
ORLOSDK_API int OrloSim_InsertSheetFile(const char* path);
/* One look into the feeder folder, as the worker thread takes every 250 ms: a page file is taken once its size
   and time have not changed since the look before; one that is no sheet goes to rejected/ instead of taken/.
   Returns 1 when a file was taken in. */
ORLOSDK_API int OrloSim_PollFeeder(void);

ORLOSDK_API void OrloSim_SetPatchesPerEvent(int patches);
ORLOSDK_API void OrloSim_SetLatePatchAfterStop(int on);

/* The next call of the named function (e.g. "Orlo_StartCapture") returns code. */
ORLOSDK_API void OrloSim_FailNext(const char* function, int code);
ORLOSDK_API void OrloSim_RaiseEvent(int code, int value, int count);
/* The next recognition (a patch recognition, or the one Orlo_GetPatchRecogResult runs for a clipping) reports
   resultCode and, when given, this layout and these points. */
ORLOSDK_API void OrloSim_SetNextRecognition(int resultCode, const OrloLayoutRecord* layout,
                                            const OrloMeasurePoint* points, int pointCount);
ORLOSDK_API void OrloSim_SetCaptureFail(int on);
ORLOSDK_API void OrloSim_SetPremeasurementError(int code);
ORLOSDK_API void OrloSim_SetDeviceList(const OrloDeviceEntry* entries, int count);
ORLOSDK_API void OrloSim_SetSystemInfo(const OrloSystemInfo* info);
/* -1 leaves a field to the simulation; state 101 stays until forced back. */
ORLOSDK_API void OrloSim_ForceStatus(int deviceState, int stateFlag, int calibrationDue, int state);
/* -1 alternates the reference strips per measurement, 0 or 1 picks one. */
ORLOSDK_API void OrloSim_SetTileStrip(int strip);

/* One line per library call; valid until the next control call. */
ORLOSDK_API const char* OrloSim_CallLog(void);
ORLOSDK_API void OrloSim_ClearCallLog(void);

/* The QR text the simulator writes for a sheet record; returns its length (written up to capacity - 1). */
ORLOSDK_API int OrloSim_BarcodeText(const uint8_t* sheetRecord, char* out, int capacity);

#ifdef __cplusplus
}
#endif
