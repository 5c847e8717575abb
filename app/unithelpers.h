#pragma once
// Rounding and length conversions. Lengths are fixed-point integers: hundredths of a millimetre inside the
// program, and in a length unit u the value times 10 to the power of u's decimals (mm 2, inch 3). `unit` is an
// index into the length-unit table; an unknown index behaves as millimetres.

// floor(x * 10^d + 0.5), for negative values too; d may be negative. Saturates at the int range (NaN gives 0).
int RoundToFixed(double x, int d);
double FixedToDouble(int v, int d);

int ToUnitFixed(int unit, double x);
// Hundredths of a millimetre to a length in the unit.
double MmFixedToUnit(int unit, int mmFixed);
// A fixed value in the unit to millimetres.
double UnitFixedToMm(int unit, int v);
// 0 for a resolution of 0 or less.
int PixelsToUnitFixed(int unit, double pixels, int dpi);
double UnitFixedToPixels(int unit, int v, int dpi);

// A length edited in the unit back to hundredths of a millimetre. The candidates are the millimetre values shown
// before editing: a value the user left unchanged in inches comes back exactly as the candidate.
int UnitFixedToMmFixed(int unit, int v, int candidateA, int candidateB);
int UnitValueToMmFixed(int unit, double x, int candidateA, int candidateB);
