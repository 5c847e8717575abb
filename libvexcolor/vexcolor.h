/* libvexcolor: colour values of light sources and object colours from spectra.
 * Plain C interface; every function returns 0 when done, otherwise a result code, and writes through the
 * caller's pointers.  The library keeps no state besides its constant tables. */
#ifndef VEXCOLOR_H
#define VEXCOLOR_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  define VEXCOLOR_API __declspec(dllexport)
#else
#  define VEXCOLOR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
enum {
    VEXCOLOR_OK = 0,
    VEXCOLOR_FAILED = 1,          /* weighting or integration unavailable */
    VEXCOLOR_OUT_OF_RANGE = 2,    /* outside the method's valid range */
    VEXCOLOR_BAD_ARGUMENT = 4,
    VEXCOLOR_NUMERIC = 6,         /* zero denominator, white point, no intersection */
    VEXCOLOR_NO_LIGHT = 7,        /* density channel without light */
    VEXCOLOR_NO_CHROMATICITY = 8,
    VEXCOLOR_INVALID = 9,
    VEXCOLOR_UNSUPPORTED = 12
};

/* Light-source illuminant ids of the colour record (both behave alike). */
#define VEXCOLOR_LIGHT_SOURCE 240
#define VEXCOLOR_LIGHT_SOURCE_ALT 241
#define VEXCOLOR_USER_ILLUMINANT 14
/* Marks a value that could not be computed. */
#define VEXCOLOR_INVALID_VALUE (-11000.0f)

/* 76 bytes: what to compute, observer (0 = 2 degree, 1 = 10 degree), illuminant id, 16 values. */
typedef struct CalColorRecord {
    int32_t type;
    int32_t observer;
    int32_t illuminant;
    float values[16];
} CalColorRecord;

/* 16 bytes.  Brightness (types 0 and 2) is written over the observer field. */
typedef struct CalIndexRecord {
    union {
        int32_t observer;
        float brightness;
    };
    int32_t illuminant;
    float whiteness;
    float tint;
} CalIndexRecord;

/* 16 bytes. */
typedef struct CalDeltaRecord {
    float dE;
    float dL;
    float da;
    float db;
} CalDeltaRecord;

/* 392 bytes: an illuminant slot, 300-780 nm at 5 nm; also the user-illuminant record. */
typedef struct CalIlluminantSlot {
    int32_t id;
    float spd[97];
} CalIlluminantSlot;
typedef CalIlluminantSlot CalUserIlluminant;

#ifdef __cplusplus
static_assert(sizeof(CalColorRecord) == 76 && offsetof(CalColorRecord, values) == 12, "colour record layout");
static_assert(sizeof(CalIndexRecord) == 16 && offsetof(CalIndexRecord, whiteness) == 8, "index record layout");
static_assert(sizeof(CalDeltaRecord) == 16 && offsetof(CalDeltaRecord, db) == 12, "delta record layout");
static_assert(sizeof(CalIlluminantSlot) == 392 && offsetof(CalIlluminantSlot, spd) == 4, "illuminant slot layout");
#endif

/* Light source (ids 240/241, 421 values 360-780 nm at 1 nm) or reflectance (36 values 380-730 nm). */
VEXCOLOR_API int SpectrumToColor(const float* spectrum, int count, CalColorRecord* io);
VEXCOLOR_API int GetIlluminantTable(const CalIlluminantSlot** table, int* count);
VEXCOLOR_API int GetUserIlluminant(CalUserIlluminant* record);
VEXCOLOR_API int GetCalColorVersion(int version[3]);

VEXCOLOR_API int ConvertColor(const CalColorRecord* in, CalColorRecord* out);
VEXCOLOR_API int CalcDeltaE(CalDeltaRecord* out, const float lab1[3], const float lab2[3], unsigned formula,
                            const float params[3]);
VEXCOLOR_API int SpectrumToDensity(const float* reflectance, int count, float out[4], unsigned status);
VEXCOLOR_API int SpectrumToIndex(const float* reflectance, int count, CalIndexRecord* record, int type);
VEXCOLOR_API int CalcDotArea(float* out, const float tint[4], const float paper[4], const float solid[4],
                             int channel, float n);
VEXCOLOR_API int CalcDenHG(float* hueError, float* grayness, const float sample[3], const float paper[3]);
VEXCOLOR_API int EvaluateDenFilter(int* filter, const float sample[3], const float paper[3]);
VEXCOLOR_API int CalcMetameriIndex(float* out, const float p1[3], const float p2[3], const float p3[3],
                                   const float p4[3]);

#ifdef __cplusplus
}
#endif

#endif
