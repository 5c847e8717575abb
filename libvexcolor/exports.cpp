// The exported C interface: argument checks, then the calculation; no exception leaves the library.
#include <cmath>
#include <cstring>

#include "colorcore.h"
#include "tables.h"

using namespace vexcolor;

namespace {

template <typename F>
int guarded(F&& f)
{
    try {
        f();
        return CALCOLOR_OK;
    } catch (eCALCOLOR_ERROR_TYPES code) {
        return code;
    } catch (...) {
        return CALCOLOR_FAILED;
    }
}

bool knownObjectId(int id) { return (id >= 0 && id <= 14) || id == 160; }

}  // namespace

extern "C" {

VEXCOLOR_API int SpectrumToColor(const float* spectrum, int count, CalColorRecord* io)
{
    if (!spectrum || !io)
        return CALCOLOR_BAD_ARGUMENT;
    if (isLightSourceId(io->illuminant)) {
        // A 36-value buffer cannot feed the 421-point calculation.
        if (count != kPoints)
            return CALCOLOR_BAD_ARGUMENT;
        return guarded([&] { lightSourceColor(spectrum, *io); });
    }
    if (!knownObjectId(io->illuminant))
        return CALCOLOR_FAILED;
    if (count != kReflectancePoints)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { objectColor(spectrum, *io); });
}

VEXCOLOR_API int GetIlluminantTable(const CalIlluminantSlot** table, int* count)
{
    if (!table || !count)
        return CALCOLOR_BAD_ARGUMENT;
    *table = kIlluminantTable;
    *count = kIlluminantSlots;
    return CALCOLOR_OK;
}

VEXCOLOR_API int GetUserIlluminant(CalUserIlluminant* record)
{
    if (!record)
        return CALCOLOR_BAD_ARGUMENT;
    if (record->id != VEXCOLOR_USER_ILLUMINANT)
        return CALCOLOR_UNSUPPORTED;
    for (const CalIlluminantSlot& slot : kIlluminantTable) {
        if (slot.id == VEXCOLOR_USER_ILLUMINANT) {
            std::memcpy(record->spd, slot.spd, sizeof record->spd);
            break;
        }
    }
    return CALCOLOR_OK;
}

VEXCOLOR_API int GetCalColorVersion(int version[3])
{
    if (!version)
        return CALCOLOR_BAD_ARGUMENT;
    version[0] = 1;
    version[1] = 21;
    version[2] = 1;
    return CALCOLOR_OK;
}

VEXCOLOR_API int ConvertColor(const CalColorRecord* in, CalColorRecord* out)
{
    if (!in || !out)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { convertColor(*in, *out); });
}

VEXCOLOR_API int CalcDeltaE(CalDeltaRecord* out, const float lab1[3], const float lab2[3], unsigned formula,
                            const float params[3])
{
    if (!out || !lab1 || !lab2)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { deltaE(*out, lab1, lab2, formula, params); });
}

VEXCOLOR_API int SpectrumToDensity(const float* reflectance, int count, float out[4], unsigned status)
{
    if (!reflectance || !out || count != kReflectancePoints)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { density(reflectance, out, status); });
}

VEXCOLOR_API int SpectrumToIndex(const float* reflectance, int count, CalIndexRecord* record, int type)
{
    if (!reflectance || !record || count != kReflectancePoints)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { index(reflectance, *record, type); });
}

VEXCOLOR_API int CalcDotArea(float* out, const float tint[4], const float paper[4], const float solid[4],
                             int channel, float n)
{
    if (!out || !tint || !paper || !solid || channel < 0 || channel > 3)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] { dotArea(*out, tint[channel], paper[channel], solid[channel], n); });
}

VEXCOLOR_API int CalcDenHG(float* hueError, float* grayness, const float sample[3], const float paper[3])
{
    if (!hueError || !grayness || !sample || !paper)
        return CALCOLOR_BAD_ARGUMENT;
    int high = 0;
    return guarded([&] { denHueGray(*hueError, *grayness, high, sample, paper); });
}

VEXCOLOR_API int EvaluateDenFilter(int* filter, const float sample[3], const float paper[3])
{
    if (!filter || !sample || !paper)
        return CALCOLOR_BAD_ARGUMENT;
    return guarded([&] {
        float hueError = 0, grayness = 0;
        int high = 0;
        denHueGray(hueError, grayness, high, sample, paper);
        *filter = grayness >= 70.0f ? 3 : high;
    });
}

VEXCOLOR_API int CalcMetameriIndex(float* out, const float p1[3], const float p2[3], const float p3[3],
                                   const float p4[3])
{
    if (!out || !p1 || !p2 || !p3 || !p4)
        return CALCOLOR_BAD_ARGUMENT;
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double d = (double(p2[i]) - p1[i]) - (double(p4[i]) - p3[i]);
        sum += d * d;
    }
    *out = float(std::sqrt(sum));
    return CALCOLOR_OK;
}

}  // extern "C"
