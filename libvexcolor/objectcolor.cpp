// Object colours: tristimulus values of a reflectance, colour spaces, differences, densities and indices.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "colorcore.h"
#include "tables.h"

namespace vexcolor {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

double zeroTiny(double v) { return v < kTiny ? 0.0 : v; }

const ObserverWeights* lookupWeights(int observer, int id)
{
    if (id >= 0 && id <= 14) {
        if (observer != 0 && observer != 1)
            return nullptr;
        return &kWeightTables[id].observer[observer];
    }
    if (id == 160)
        return &kWeightTables[kWeightTableCount - 1].observer[observer == 0 ? 0 : 1];
    return nullptr;
}

// The white point must be usable before anything divides by it (the user illuminant is all zero).
const ObserverWeights& weightsOrFail(int observer, int id)
{
    const ObserverWeights* w = lookupWeights(observer, id);
    if (!w || !(w->white[0] >= kTiny && w->white[1] >= kTiny && w->white[2] >= kTiny))
        raise(CALCOLOR_FAILED);
    return *w;
}

Xyz tristimulus(const float* r, const ObserverWeights& w)
{
    double out[3];
    for (int f = 0; f < 3; ++f) {
        const double* a = w.w[f];
        double s = 0;
        for (int k = 0; k < kReflectancePoints; ++k)
            s += double(r[k]) * a[2 + k];
        // The reflectance table starts at 380 and ends at 730 nm: its end values stand for the rest.
        s += double(r[0]) * (a[0] + a[1]);
        s += double(r[35]) * (a[38] + a[39] + a[40] + a[41] + a[42]);
        if (!std::isfinite(s))
            raise(CALCOLOR_FAILED);
        out[f] = zeroTiny(s);
    }
    return {out[0], out[1], out[2]};
}

double labF(double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; }

double labInverse(double f) { return f > 0.2068927 ? f * f * f : (f - 0.13793103448275862) / 7.787; }

void toLab(const Xyz& c, const double* white, double lab[3])
{
    const double xr = zeroTiny(c.X) / white[0];
    const double yr = zeroTiny(c.Y) / white[1];
    const double zr = zeroTiny(c.Z) / white[2];
    lab[0] = yr > 0.008856 ? 116.0 * labF(yr) - 16.0 : 903.29 * yr;
    lab[1] = 500.0 * (labF(xr) - labF(yr));
    lab[2] = 200.0 * (labF(yr) - labF(zr));
}

double hueDegrees(double a, double b)
{
    if (std::fabs(a) < kTiny && std::fabs(b) < kTiny)
        return 0.0;
    double h = std::atan2(b, a) / kDeg;
    if (h < 0)
        h += 360.0;
    return h;
}

// Writes values[0..2] of the object colour type; 8 when the space cannot be formed.
void toSpace(int type, const Xyz& c, const double* white, float* v)
{
    switch (type) {
    case 0: {
        double lab[3];
        toLab(c, white, lab);
        v[0] = float(lab[0]), v[1] = float(lab[1]), v[2] = float(lab[2]);
        return;
    }
    case 1: {
        double lab[3];
        toLab(c, white, lab);
        if (lab[0] < kTiny) {
            v[0] = v[1] = v[2] = 0.0f;
            return;
        }
        v[0] = float(lab[0]);
        v[1] = float(std::hypot(lab[1], lab[2]));
        v[2] = float(hueDegrees(lab[1], lab[2]));
        return;
    }
    case 2:
        v[0] = float(c.X), v[1] = float(c.Y), v[2] = float(c.Z);
        return;
    case 3: {
        const double X = zeroTiny(c.X), Y = zeroTiny(c.Y), Z = zeroTiny(c.Z);
        const double sum = X + Y + Z;
        if (std::fabs(sum) < kTiny)
            raise(CALCOLOR_NO_CHROMATICITY);
        v[0] = float(X / sum), v[1] = float(Y / sum), v[2] = float(Y);
        return;
    }
    case 4: {
        const double xr = zeroTiny(c.X) / white[0];
        const double yr = zeroTiny(c.Y) / white[1];
        const double zr = zeroTiny(c.Z) / white[2];
        if (white[0] < kTiny || white[1] < kTiny || white[2] < kTiny || yr < kTiny)
            raise(CALCOLOR_NO_CHROMATICITY);
        v[0] = float(100.0 * std::sqrt(yr));
        v[1] = float(175.0 * std::sqrt(0.0102 * white[0] / yr) * (xr - yr));
        v[2] = float(70.0 * std::sqrt(0.00847 * white[2] / yr) * (yr - zr));
        return;
    }
    case 5:
        raise(CALCOLOR_UNSUPPORTED);
    default:
        raise(CALCOLOR_BAD_ARGUMENT);
    }
}

Xyz fromYxy(const float* v)
{
    const double x = v[0], y = v[1], Y = v[2];
    if (y < kTiny)
        raise(CALCOLOR_FAILED);
    return {Y * x / y, Y, Y * (1.0 - x - y) / y};
}

Xyz fromSpace(int type, const float* v, const double* white)
{
    switch (type) {
    case 0:
    case 1: {
        double l = v[0], a = v[1], b = v[2];
        if (type == 1) {
            a = double(v[1]) * std::cos(double(v[2]) * kDeg);
            b = double(v[1]) * std::sin(double(v[2]) * kDeg);
        }
        const double fy = (l + 16.0) / 116.0;
        const double fx = fy + a / 500.0;
        const double fz = fy - b / 200.0;
        return {labInverse(fx) * white[0], labInverse(fy) * white[1], labInverse(fz) * white[2]};
    }
    case 2:
        return {v[0], v[1], v[2]};
    case 3:
        return fromYxy(v);
    case 4: {
        if (white[0] < kTiny || white[2] < kTiny)
            raise(CALCOLOR_FAILED);
        const double c = double(v[0]) * v[0] / 10000.0;
        return {white[0] * (c + v[1] * std::sqrt(c / (0.0102 * white[0])) / 175.0), c * white[1],
                white[2] * (c - v[2] * std::sqrt(c / (0.00847 * white[2])) / 70.0)};
    }
    default:
        raise(CALCOLOR_UNSUPPORTED);
    }
}

struct Lch {
    double L, C, h;
};

Lch lch(const float lab[3])
{
    return {lab[0], std::hypot(double(lab[1]), double(lab[2])), hueDegrees(lab[1], lab[2])};
}

// CIEDE2000 after Sharma, Wu and Dalal (2005), including their conventions for zero chroma.
double ciede2000(const float lab1[3], const float lab2[3], double kL, double kC, double kH)
{
    const double c1 = std::hypot(double(lab1[1]), double(lab1[2]));
    const double c2 = std::hypot(double(lab2[1]), double(lab2[2]));
    const double cm = (c1 + c2) / 2.0;
    const double cm7 = std::pow(cm, 7);
    const double g = 0.5 * (1.0 - std::sqrt(cm7 / (cm7 + std::pow(25.0, 7))));
    const double a1 = (1.0 + g) * lab1[1], a2 = (1.0 + g) * lab2[1];
    const double cp1 = std::hypot(a1, double(lab1[2])), cp2 = std::hypot(a2, double(lab2[2]));
    auto hue = [](double a, double b) {
        if (a == 0 && b == 0)
            return 0.0;
        double h = std::atan2(b, a) / kDeg;
        return h < 0 ? h + 360.0 : h;
    };
    const double h1 = hue(a1, lab1[2]), h2 = hue(a2, lab2[2]);
    const double dLp = double(lab2[0]) - lab1[0];
    const double dCp = cp2 - cp1;
    double dhp = 0;
    double hm = h1 + h2;
    if (cp1 * cp2 != 0) {
        dhp = h2 - h1;
        if (dhp > 180)
            dhp -= 360;
        else if (dhp < -180)
            dhp += 360;
        if (std::fabs(h1 - h2) <= 180)
            hm = (h1 + h2) / 2;
        else
            hm = (h1 + h2 < 360) ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double dHp = 2.0 * std::sqrt(cp1 * cp2) * std::sin(dhp / 2.0 * kDeg);
    const double lm = (double(lab1[0]) + lab2[0]) / 2.0;
    const double cpm = (cp1 + cp2) / 2.0;
    const double t = 1.0 - 0.17 * std::cos((hm - 30) * kDeg) + 0.24 * std::cos(2 * hm * kDeg)
                     + 0.32 * std::cos((3 * hm + 6) * kDeg) - 0.20 * std::cos((4 * hm - 63) * kDeg);
    const double l50 = (lm - 50) * (lm - 50);
    const double sl = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sc = 1.0 + 0.045 * cpm;
    const double sh = 1.0 + 0.015 * cpm * t;
    const double dTheta = 30.0 * std::exp(-std::pow((hm - 275.0) / 25.0, 2));
    const double cpm7 = std::pow(cpm, 7);
    const double rc = 2.0 * std::sqrt(cpm7 / (cpm7 + std::pow(25.0, 7)));
    const double rt = -std::sin(2 * dTheta * kDeg) * rc;
    const double tl = dLp / (kL * sl), tc = dCp / (kC * sc), th = dHp / (kH * sh);
    return std::sqrt(tl * tl + tc * tc + th * th + rt * tc * th);
}

}  // namespace

void objectColor(const float* reflectance, CalColorRecord& r)
{
    if (r.type == 5)
        raise(CALCOLOR_UNSUPPORTED);
    if (r.type < 0 || r.type > 5)
        raise(CALCOLOR_BAD_ARGUMENT);
    const ObserverWeights& w = weightsOrFail(r.observer, r.illuminant);
    toSpace(r.type, tristimulus(reflectance, w), w.white, r.values);
}

void convertColor(const CalColorRecord& in, CalColorRecord& out)
{
    if (in.observer != out.observer || in.illuminant != out.illuminant)
        raise(CALCOLOR_BAD_ARGUMENT);
    if (in.type == out.type) {
        std::memcpy(&out, &in, sizeof out);
        return;
    }
    if (isLightSourceId(in.illuminant)) {
        if (in.observer != 0)
            raise(CALCOLOR_INVALID);
        Xyz xyz;
        if (in.type == 2)
            xyz = {in.values[0], in.values[1], in.values[2]};
        else if (in.type == 3)
            xyz = fromYxy(in.values);
        else if (in.type == 6)
            raise(CALCOLOR_INVALID);
        else
            raise(CALCOLOR_UNSUPPORTED);
        switch (out.type) {
        case 2:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            lightSourceFromXyz(xyz, xyz.Y, 0, out);
            return;
        default:
            raise(CALCOLOR_UNSUPPORTED);  // the other light-source types need the spectrum
        }
    }
    const ObserverWeights& w = weightsOrFail(in.observer, in.illuminant);
    if (in.type < 0 || in.type > 4)
        raise(CALCOLOR_UNSUPPORTED);
    const Xyz xyz = fromSpace(in.type, in.values, w.white);
    if (out.type < 0 || out.type > 4)
        raise(CALCOLOR_UNSUPPORTED);
    toSpace(out.type, xyz, w.white, out.values);
}

void deltaE(CalDeltaRecord& out, const float lab1[3], const float lab2[3], unsigned formula, const float params[3])
{
    const double dL = double(lab1[0]) - lab2[0];
    const double da = double(lab1[1]) - lab2[1];
    const double db = double(lab1[2]) - lab2[2];
    out.dL = float(dL), out.da = float(da), out.db = float(db);
    if (formula > 4 || ((formula >= 1 && formula <= 3) && !params))
        raise(CALCOLOR_BAD_ARGUMENT);
    double de = 0;
    if (formula == 0 || formula == 4) {
        de = std::sqrt(dL * dL + da * da + db * db);
    } else if (formula == 3) {
        de = ciede2000(lab1, lab2, params[0], params[1], params[2]);
    } else {
        const Lch sample = lch(lab1), standard = lch(lab2);
        const double dC = sample.C - standard.C;
        double dH = std::sqrt(std::fabs(da * da + db * db - dC * dC));
        double dh = sample.h - standard.h;
        if (dh < 0)
            dh += 360.0;
        if (dh > 180.0)
            dH = -dH;
        if (formula == 1) {
            const double L = standard.L, C = standard.C, h = standard.h;
            const double sl = L < 16.0 ? 0.511 : 0.040975 * L / (1.0 + 0.01765 * L);
            const double sc = 0.0638 * C / (1.0 + 0.0131 * C) + 0.638;
            const double c4 = C * C * C * C;
            const double f = std::sqrt(c4 / (c4 + 1900.0));
            const double t = (h >= 164.0 && h <= 345.0) ? 0.56 + std::fabs(0.2 * std::cos((h + 168.0) * kDeg))
                                                        : 0.36 + std::fabs(0.4 * std::cos((h + 35.0) * kDeg));
            const double sh = sc * (f * t + 1.0 - f);
            if (sl < kTiny || sc < kTiny || sh < kTiny)
                raise(CALCOLOR_FAILED);
            const double l = params[0], c = params[1];
            de = std::sqrt(std::pow(dL / (l * sl), 2) + std::pow(dC / (c * sc), 2) + std::pow(dH / sh, 2));
        } else {
            const double C = standard.C;
            de = std::sqrt(std::pow(dL / params[0], 2) + std::pow(dC / (params[1] * (1.0 + 0.045 * C)), 2)
                           + std::pow(dH / (params[2] * (1.0 + 0.015 * C)), 2));
        }
    }
    out.dE = float(de);
}

void density(const float* reflectance, float out[4], unsigned status)
{
    if (status > 4)
        raise(CALCOLOR_BAD_ARGUMENT);
    const float* vectors[4] = {kDensityWeights[status * 3], kDensityWeights[status * 3 + 1],
                               kDensityWeights[status * 3 + 2], kDensityWeights[kVisualVector]};
    int code = CALCOLOR_OK;
    for (int c = 0; c < 4; ++c) {
        double sum = 0;
        for (int k = 0; k < kReflectancePoints; ++k)
            sum += double(vectors[c][k]) * reflectance[k];
        if (!(sum > 0)) {
            out[c] = FLT_MAX;
            code = CALCOLOR_NO_LIGHT;
            continue;
        }
        out[c] = float(2.0 - std::log10(sum));
    }
    check(code);
}

void index(const float* reflectance, CalIndexRecord& record, int type)
{
    if (type == 0 || type == 2) {
        // Blue-reflectance brightness, weights 400-510 nm.
        static constexpr double kBrightness[12] = {1.0, 6.7, 18.2, 34.5, 57.6, 82.5, 100.0, 88.7, 53.1, 20.3, 5.6, 0.3};
        double sum = 0, weight = 0;
        for (int k = 0; k < 12; ++k) {
            sum += kBrightness[k] * reflectance[2 + k];
            weight += kBrightness[k];
        }
        record.brightness = float(100.0 * sum / weight);
        return;
    }
    if (type != 1)
        raise(CALCOLOR_BAD_ARGUMENT);
    CalColorRecord yxy{};
    yxy.type = 3;
    yxy.observer = record.observer;
    yxy.illuminant = record.illuminant;
    try {
        objectColor(reflectance, yxy);
    } catch (eCALCOLOR_ERROR_TYPES) {
        raise(CALCOLOR_INVALID);
    }
    const bool two = record.observer == 0;
    double xn = 0, yn = 0;
    switch (record.illuminant) {
    case 1:
        xn = two ? 0.3101 : 0.3104, yn = two ? 0.3161 : 0.3191;
        break;
    case 2:
        xn = two ? 0.3457 : 0.3477, yn = two ? 0.3585 : 0.3595;
        break;
    case 3:
        xn = two ? 0.3127 : 0.3138, yn = two ? 0.3290 : 0.3310;
        break;
    default:
        raise(CALCOLOR_INVALID);
    }
    const double x = yxy.values[0], y = yxy.values[1], Y = yxy.values[2];
    const double w = Y + 800.0 * (xn - x) + 1700.0 * (yn - y);
    const double t = (two ? 1000.0 : 900.0) * (xn - x) - 650.0 * (yn - y);
    if (!(w > 40.0 && w < 5.0 * Y - 280.0 && std::fabs(t) < 3.0))
        raise(CALCOLOR_INVALID);
    record.whiteness = float(w);
    record.tint = float(t);
}

void dotArea(float& out, float tint, float paper, float solid, float n)
{
    if (std::fabs(n) < 0.00001f) {
        out = 0.0f;
        raise(CALCOLOR_NUMERIC);
    }
    if (std::fabs(tint - paper) < 0.00001f && std::fabs(solid - paper) < 0.00001f) {
        out = 100.0f;
        return;
    }
    if (paper == solid)
        raise(CALCOLOR_NUMERIC);
    const double a = 100.0 * (1.0 - std::pow(10.0, -(double(tint) - paper) / n))
                     / (1.0 - std::pow(10.0, -(double(solid) - paper) / n));
    if (!std::isfinite(a))
        raise(CALCOLOR_NUMERIC);
    out = float(a);
}

void denHueGray(float& hueError, float& grayness, int& high, const float sample[3], const float paper[3])
{
    const double e[3] = {double(sample[0]) - paper[0], double(sample[1]) - paper[1], double(sample[2]) - paper[2]};
    const int larger = e[1] >= e[2] ? 1 : 2;
    const int smaller = 3 - larger;
    int h, m, l;
    if (e[0] > e[larger])
        h = 0, m = larger, l = smaller;
    else if (e[0] < e[smaller])
        h = larger, m = smaller, l = 0;
    else
        h = larger, m = 0, l = smaller;
    const double H = e[h], M = e[m], L = e[l];
    grayness = float(H < 0.001 ? 100.0 : (L < 0 ? 0.0 : 100.0 * L / H));
    hueError = float(std::fabs(H - L) < 0.001 ? 100.0 : 100.0 * (M - L) / (H - L));
    high = h;
}

}  // namespace vexcolor
