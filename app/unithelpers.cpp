#include "app/unithelpers.h"

#include "app/constants.h"

#include <climits>
#include <cmath>

namespace {

double powerOfTen(int d)
{
    return std::pow(10.0, d);
}

// Converting a double outside the int range is undefined; lengths typed or imported can be anything.
int saturatedFloor(double v)
{
    if (std::isnan(v))
        return 0;
    v = std::floor(v);
    if (v <= double(INT_MIN))
        return INT_MIN;
    if (v >= double(INT_MAX))
        return INT_MAX;
    return int(v);
}

// The inch form of a candidate in hundredths of a millimetre.
int inchForm(int mmFixed)
{
    return RoundToFixed(MmFixedToUnit(kUnitInch, mmFixed), LengthUnitRow(kUnitInch).decimals);
}

} // namespace

int RoundToFixed(double x, int d)
{
    return saturatedFloor(x * powerOfTen(d) + 0.5);
}

double FixedToDouble(int v, int d)
{
    return v / powerOfTen(d);
}

int ToUnitFixed(int unit, double x)
{
    return RoundToFixed(x, LengthUnitRow(unit).decimals);
}

double MmFixedToUnit(int unit, int mmFixed)
{
    return mmFixed / 100.0 / LengthUnitRow(unit).millimetresPerUnit;
}

double UnitFixedToMm(int unit, int v)
{
    const LengthUnit &row = LengthUnitRow(unit);
    return v / powerOfTen(row.decimals) * row.millimetresPerUnit;
}

int PixelsToUnitFixed(int unit, double pixels, int dpi)
{
    if (dpi <= 0)
        return 0;
    const LengthUnit &row = LengthUnitRow(unit);
    return saturatedFloor(row.unitsPerInch * pixels * powerOfTen(row.decimals) / dpi + 0.5);
}

double UnitFixedToPixels(int unit, int v, int dpi)
{
    const LengthUnit &row = LengthUnitRow(unit);
    return double(v) * dpi / row.unitsPerInch / powerOfTen(row.decimals);
}

int UnitFixedToMmFixed(int unit, int v, int candidateA, int candidateB)
{
    if (unit != kUnitInch)
        return v;
    if (v == inchForm(candidateA))
        return candidateA;
    if (v == inchForm(candidateB))
        return candidateB;
    return RoundToFixed(UnitFixedToMm(kUnitInch, v), 2);
}

int UnitValueToMmFixed(int unit, double x, int candidateA, int candidateB)
{
    if (unit != kUnitInch)
        return RoundToFixed(x, 2);
    const int w = RoundToFixed(x, LengthUnitRow(kUnitInch).decimals);
    if (w == inchForm(candidateA))
        return candidateA;
    if (w == inchForm(candidateB))
        return candidateB;
    return RoundToFixed(x * LengthUnitRow(kUnitInch).millimetresPerUnit, 2);
}
