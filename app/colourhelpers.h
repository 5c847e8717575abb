#pragma once
// Colour conversions shared by the views, importers and exporters. Triples are three floats written into the
// caller's array: XYZ on the 0-100 scale, L*a*b* (CIE 1976) against the D50 white, sRGB channels 0-255 with two
// decimals, CMYK percentages with two decimals. No chromatic adaptation is made between the D65 sRGB matrices
// and the D50 L*a*b* white, so RGB white is L* 100, a* -2.39, b* -19.36.

#include <QColor>

#include "app/constants.h"
#include "app/records.h"

// The L*a*b* white point.
constexpr double kWhiteXn = 0.96422;
constexpr double kWhiteYn = 1.0;
constexpr double kWhiteZn = 0.82521;

// Each of these does nothing when either array is null.
void RgbToXyz(float *xyz, const float *rgb);
void XyzToRgb(float *rgb, const float *xyz);
// Threshold 0.008856 / 7.787 as the files expect; LabToXyz uses 6/29, so the round trip holds to about 1e-5.
void XyzToLab(float *lab, const float *xyz);
void LabToXyz(float *xyz, const float *lab);
void RgbToLab(float *lab, const float *rgb);
void LabToRgb(float *rgb, const float *lab);

void RgbToCmyk(float *cmyk, const float *rgb);
void CmykToRgb(float *rgb, const float *cmyk);

// The RGB of an ink printed at `tint` percent on paper white (the L*a*b* of RGB white).
void InkTintToRgb(float *rgb, float tint, const InkChannel &ink);
// The RGB of format + 2 inks printed over each other (not rounded). White for a format outside 1..6; inks the
// list lacks are skipped.
void MixInkColorsToRgb(float *rgb, int format, const float *values, const InkChannelList &inks);

// Fills a patch's colour values from XYZ: format 1 RGB, 2 CMYK of that RGB, 3-6 all format + 2 values set to
// `fill`; any other format writes nothing.
void XyzToPatchColorValues(float *values, int format, const float *xyz, float fill);

// The colour a patch is drawn with; fractions are clamped into 0..1 since imported charts can carry values out of
// range. White for an unknown format.
QColor PatchColorToQColor(const ChartDefinitionData::PatchColor &patch, const InkChannelList &inks);

// RGB white as L*a*b* and its RGB round trip, computed once; the chart views read it.
struct PaperWhite {
    float lab[3];
    float rgb[3];
};
const PaperWhite &PaperWhiteColor();
