#include "app/colourhelpers.h"

#include <algorithm>
#include <cmath>

namespace {

double linearise(double c)
{
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Gamma-encodes one linear channel and rounds it to an 8-bit value with two decimals.
float encodeChannel(double v)
{
    v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    v = std::clamp(v, 0.0, 1.0);
    return float(std::trunc(v * 255.0 * 100.0 + 0.5) / 100.0);
}

double labF(double t)
{
    return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
}

double labFInverse(double f)
{
    constexpr double d = 6.0 / 29.0;
    return f > d ? f * f * f : 3.0 * d * d * (f - 4.0 / 29.0);
}

double clampFraction(double v)
{
    // NaN goes to 0 as well.
    return v > 0.0 ? std::min(v, 1.0) : 0.0;
}

void setWhite(float *rgb)
{
    rgb[0] = rgb[1] = rgb[2] = 255.0f;
}

} // namespace

void RgbToXyz(float *xyz, const float *rgb)
{
    if (!xyz || !rgb)
        return;
    const double r = linearise(rgb[0]);
    const double g = linearise(rgb[1]);
    const double b = linearise(rgb[2]);
    xyz[0] = float((0.4124564 * r + 0.3575761 * g + 0.1804375 * b) * 100.0);
    xyz[1] = float((0.2126729 * r + 0.7151522 * g + 0.072175 * b) * 100.0);
    xyz[2] = float((0.0193339 * r + 0.119192 * g + 0.9503041 * b) * 100.0);
}

void XyzToRgb(float *rgb, const float *xyz)
{
    if (!rgb || !xyz)
        return;
    const double x = xyz[0] / 100.0;
    const double y = xyz[1] / 100.0;
    const double z = xyz[2] / 100.0;
    const double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
    const double g = -0.969266 * x + 1.8760108 * y + 0.041556 * z;
    const double b = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;
    rgb[0] = encodeChannel(r);
    rgb[1] = encodeChannel(g);
    rgb[2] = encodeChannel(b);
}

void XyzToLab(float *lab, const float *xyz)
{
    if (!lab || !xyz)
        return;
    const double u = labF(xyz[0] / kWhiteXn / 100.0);
    const double v = labF(xyz[1] / kWhiteYn / 100.0);
    const double w = labF(xyz[2] / kWhiteZn / 100.0);
    lab[0] = float(116.0 * v - 16.0);
    lab[1] = float(500.0 * (u - v));
    lab[2] = float(200.0 * (v - w));
}

void LabToXyz(float *xyz, const float *lab)
{
    if (!xyz || !lab)
        return;
    const double v = (lab[0] + 16.0) / 116.0;
    const double u = v + lab[1] / 500.0;
    const double w = v - lab[2] / 200.0;
    xyz[0] = float(kWhiteXn * labFInverse(u) * 100.0);
    xyz[1] = float(kWhiteYn * labFInverse(v) * 100.0);
    xyz[2] = float(kWhiteZn * labFInverse(w) * 100.0);
}

void RgbToLab(float *lab, const float *rgb)
{
    if (!lab || !rgb)
        return;
    float xyz[3];
    RgbToXyz(xyz, rgb);
    XyzToLab(lab, xyz);
}

void LabToRgb(float *rgb, const float *lab)
{
    if (!rgb || !lab)
        return;
    float xyz[3];
    LabToXyz(xyz, lab);
    XyzToRgb(rgb, xyz);
}

void RgbToCmyk(float *cmyk, const float *rgb)
{
    if (!cmyk || !rgb)
        return;
    const double c = 1.0 - rgb[0] / 255.0;
    const double m = 1.0 - rgb[1] / 255.0;
    const double y = 1.0 - rgb[2] / 255.0;
    const double k = std::min({c, m, y});
    // Black; also keeps out-of-range input away from the division by 1 - K.
    if ((rgb[0] == 0.0f && rgb[1] == 0.0f && rgb[2] == 0.0f) || !(k < 1.0)) {
        cmyk[0] = cmyk[1] = cmyk[2] = 0.0f;
    } else {
        const double inks[3] = {c, m, y};
        for (int i = 0; i < 3; ++i)
            cmyk[i] = float(std::trunc((inks[i] - k) / (1.0 - k) * 10000.0 + 0.5) / 100.0);
    }
    cmyk[3] = float(std::trunc(k * 10000.0 + 0.5) / 100.0);
}

void CmykToRgb(float *rgb, const float *cmyk)
{
    if (!rgb || !cmyk)
        return;
    const double k = cmyk[3];
    for (int i = 0; i < 3; ++i) {
        const double v = std::min(cmyk[i] * (100.0 - k) / 100.0 + k, 100.0);
        rgb[i] = float(std::trunc((100.0 - v) * 255.0 + 0.5) / 100.0);
    }
}

void InkTintToRgb(float *rgb, float tint, const InkChannel &ink)
{
    if (!rgb)
        return;
    static const float kRgbWhite[3] = {255.0f, 255.0f, 255.0f};
    float paper[3];
    RgbToLab(paper, kRgbWhite);
    const double inkLab[3] = {ink.L / 100.0, ink.a / 100.0, ink.b / 100.0};
    float lab[3];
    for (int i = 0; i < 3; ++i)
        lab[i] = float((inkLab[i] - paper[i]) * tint / 100.0 + paper[i]);
    LabToRgb(rgb, lab);
}

void MixInkColorsToRgb(float *rgb, int format, const float *values, const InkChannelList &inks)
{
    if (!rgb)
        return;
    setWhite(rgb);
    if (!values || format < 1 || format > 6)
        return;
    const int count = std::min(format + 2, int(inks.size()));
    for (int i = 0; i < count; ++i) {
        float tinted[3];
        InkTintToRgb(tinted, values[i], inks[i]);
        for (int c = 0; c < 3; ++c)
            rgb[c] *= tinted[c] / 255.0f;
    }
}

void XyzToPatchColorValues(float *values, int format, const float *xyz, float fill)
{
    if (!values || !xyz)
        return;
    if (format == ChartDefinitionData::FormatRGB) {
        XyzToRgb(values, xyz);
    } else if (format == ChartDefinitionData::FormatCMYK) {
        float rgb[3];
        XyzToRgb(rgb, xyz);
        RgbToCmyk(values, rgb);
    } else if (format >= ChartDefinitionData::Format5Color && format <= ChartDefinitionData::Format8Color) {
        std::fill(values, values + format + 2, fill);
    }
}

QColor PatchColorToQColor(const ChartDefinitionData::PatchColor &patch, const InkChannelList &inks)
{
    QColor color(Qt::white);
    const float *v = patch.ColorValue;
    switch (patch.ColorFormat) {
    case ChartDefinitionData::FormatRGB:
        color.setRgbF(clampFraction(v[0] / 255.0), clampFraction(v[1] / 255.0), clampFraction(v[2] / 255.0), 1.0);
        break;
    case ChartDefinitionData::FormatCMYK:
        color.setCmykF(clampFraction(v[0] / 100.0), clampFraction(v[1] / 100.0), clampFraction(v[2] / 100.0),
                       clampFraction(v[3] / 100.0), 1.0);
        break;
    case ChartDefinitionData::Format5Color:
    case ChartDefinitionData::Format6Color:
    case ChartDefinitionData::Format7Color:
    case ChartDefinitionData::Format8Color: {
        float rgb[3];
        MixInkColorsToRgb(rgb, patch.ColorFormat, v, inks);
        color.setRgbF(clampFraction(rgb[0] / 255.0), clampFraction(rgb[1] / 255.0), clampFraction(rgb[2] / 255.0),
                      1.0);
        break;
    }
    default:
        break;
    }
    return color;
}

const PaperWhite &PaperWhiteColor()
{
    static const PaperWhite white = [] {
        PaperWhite w;
        const float rgb[3] = {255.0f, 255.0f, 255.0f};
        RgbToLab(w.lab, rgb);
        LabToRgb(w.rgb, w.lab);
        return w;
    }();
    return white;
}
