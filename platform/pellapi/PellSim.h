#pragma once
// Control side of the simulated handheld, for tests and demos only.

#include "pellAPI.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Present (unless PELL_SIM_ABSENT=1), model 200, serial 1234567, queues and faults empty, log empty. */
PELLAPI_API void PellSim_Reset(void);
PELLAPI_API void PellSim_SetPresent(int present);
PELLAPI_API void PellSim_SetModelCode(int code);
PELLAPI_API void PellSim_SetSerial(int serial);
/* One state for one ZUGetButtonStatus call. */
PELLAPI_API void PellSim_QueueButton(int scanComplete, int held);
/* One sample set for one ZUDoMeasurement: C, M, Y, K (0..1) per sample; strip sets include their paper ends. */
PELLAPI_API void PellSim_QueueSamples(const float* inks, int count);
/* Null goes back to the default (illuminant A). */
PELLAPI_API void PellSim_SetUserIlluminant(const float* values);
PELLAPI_API void PellSim_Unplug(void);
/* The next call of the named function (e.g. "ZUGetColor") returns code. */
PELLAPI_API void PellSim_FailNext(const char* function, int code);
/* The same after that many calls of it have passed. */
PELLAPI_API void PellSim_FailAfter(const char* function, int passingCalls, int code);
/* One line per library call with its arguments; valid until the next control call. */
PELLAPI_API const char* PellSim_CallLog(void);
PELLAPI_API void PellSim_ClearCallLog(void);

#ifdef __cplusplus
}
#endif
