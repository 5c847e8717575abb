// Internal calculations of the colour library.  Failing stages throw eCALCOLOR_ERROR_TYPES; the exported
// functions catch it and return the code.
#pragma once

#include "vexcolor.h"

namespace vexcolor {

enum eCALCOLOR_ERROR_TYPES : int {
    CALCOLOR_OK = 0,
    CALCOLOR_FAILED = 1,
    CALCOLOR_OUT_OF_RANGE = 2,
    CALCOLOR_BAD_ARGUMENT = 4,
    CALCOLOR_NUMERIC = 6,
    CALCOLOR_NO_LIGHT = 7,
    CALCOLOR_NO_CHROMATICITY = 8,
    CALCOLOR_INVALID = 9,
    CALCOLOR_UNSUPPORTED = 12,
};

[[noreturn]] inline void raise(eCALCOLOR_ERROR_TYPES code) { throw code; }
inline void check(int code)
{
    if (code != CALCOLOR_OK)
        throw static_cast<eCALCOLOR_ERROR_TYPES>(code);
}

constexpr float kInvalid = -11000.0f;
constexpr double kTiny = 1e-37;

struct Xyz {
    double X = 0, Y = 0, Z = 0;
};

inline bool isLightSourceId(int id) { return id == VEXCOLOR_LIGHT_SOURCE || id == VEXCOLOR_LIGHT_SOURCE_ALT; }

// Light source: 421 values at 1 nm (360-780 nm) in, the record's type out.
void lightSourceColor(const float* spectrum, CalColorRecord& record);
// The types that need only one XYZ (2, 6-10); Ev is the photopic illuminance.
void lightSourceFromXyz(const Xyz& xyz, double ev, int observer, CalColorRecord& record);

// Pieces shared with the object side and with tests.
int chromaticity(const Xyz& xyz, double& x, double& y);
int isotemperatureTcp(double x, double y, int observer, double& tcp, double& duv);

// Object colour: 36 reflectance values (380-730 nm at 10 nm).
void objectColor(const float* reflectance, CalColorRecord& record);
void convertColor(const CalColorRecord& in, CalColorRecord& out);
void deltaE(CalDeltaRecord& out, const float lab1[3], const float lab2[3], unsigned formula, const float params[3]);
void density(const float* reflectance, float out[4], unsigned status);
void index(const float* reflectance, CalIndexRecord& record, int type);
void dotArea(float& out, float tint, float paper, float solid, float n);
void denHueGray(float& hueError, float& grayness, int& high, const float sample[3], const float paper[3]);

}  // namespace vexcolor
