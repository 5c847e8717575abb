// Colour values of a light source from its spectral irradiance.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "colorcore.h"
#include "tables.h"

namespace vexcolor {
namespace {

constexpr double kLumens = 683.0;
constexpr double kScotopicLumens = 1700.0;
constexpr double kPi = 3.14159265358979323846;

double zeroTiny(double v) { return v < kTiny ? 0.0 : v; }

void integrate(const float* s, Xyz out[2])
{
    for (int obs = 0; obs < 2; ++obs) {
        double sums[3];
        for (int f = 0; f < 3; ++f) {
            const double* cmf = kCmf[obs].f[f];
            double sum = 0;
            for (int k = 0; k < kPoints; ++k)
                sum += double(s[k]) * cmf[k];
            sum *= kLumens;
            if (!std::isfinite(sum))
                raise(CALCOLOR_FAILED);
            sums[f] = zeroTiny(sum);
        }
        out[obs] = {sums[0], sums[1], sums[2]};
    }
}

int uvPrime(const Xyz& c, double& u, double& v)
{
    const double d = c.X + 15 * c.Y + 3 * c.Z;
    if (d == 0) {
        u = v = 0;
        return CALCOLOR_NUMERIC;
    }
    u = 4 * c.X / d;
    v = 9 * c.Y / d;
    if (u < -1 || u > 1 || v < -1 || v > 1)
        return CALCOLOR_FAILED;
    return CALCOLOR_OK;
}

// McCamy-like fitted polynomials in the CIE 1960 UCS; the constants are single precision by design.
int polynomialTcp(const Xyz& c, int observer, double& tcp, double& duv)
{
    const double d = c.X + 15 * c.Y + 3 * c.Z;
    if (c.X < 0 || c.Y < 0 || c.Z < 0 || !(d > 0))
        return CALCOLOR_NO_CHROMATICITY;
    const float u = float(4 * c.X / d);
    const float v = float(6 * c.Y / d);
    float t = 0;
    float delta = 0;
    if (observer == 0) {
        if (!(u < 0.286f && v > 0.27f))
            return CALCOLOR_NO_CHROMATICITY;
        const float s = (u - 0.286f) / (v - 0.245f);
        t = 129.0f * s * s * s * s + 613.0f * s * s * s + 1975.0f * s * s - 1376.0f * s + 2312.0f;
        if (t < 2650.0f)
            t = 1.1f * t - 265.0f;
        delta = std::sqrt((u - 0.286f) * (u - 0.286f) + (v - 0.245f) * (v - 0.245f))
                - (0.1091f - 0.2227f * t / 1e6f);
    } else {
        float uc, vc, a3, a2, a1, a0, off;
        if (u > 0.71061f - 1.7728f * v && u > 0.38469f - 0.38123f * v) {
            uc = 0.31756f, vc = 0.17257f, a3 = -1749.9f, a2 = 1964.8f, a1 = -2073.2f, a0 = 1890.0f, off = 0.1863f;
        } else if (u > 0.71061f - 1.7728f * v) {
            uc = 0.29435f, vc = 0.23271f, a3 = -492.95f, a2 = 397.83f, a1 = -2532.0f, a0 = 2010.9f, off = 0.1219f;
        } else {
            uc = 0.30573f, vc = 0.22871f, a3 = -7521.8f, a2 = -38138.0f, a1 = -73423.0f, a0 = -42296.0f, off = 0.1337f;
        }
        const float s = (u - uc) / (v - vc);
        t = a3 * s * s * s + a2 * s * s + a1 * s + a0;
        delta = std::sqrt((u - uc) * (u - uc) + (v - vc) * (v - vc)) - off;
    }
    if (!(t >= 2300.0f && t <= 20000.0f && delta > -0.1f && delta < 0.1f))
        return CALCOLOR_OUT_OF_RANGE;
    tcp = t;
    duv = delta;
    return CALCOLOR_OK;
}

// Dominant (or complementary) wavelength and excitation purity against the equal-energy white, in the
// integer units of the locus table.
int dominantWavelength(double x, double y, int observer, double& wavelength, double& purity)
{
    constexpr int kWhite = 33333;
    const LocusPoint* locus = kLocus[observer == 0 ? 0 : 1];
    auto angleOf = [](double dx, double dy) {
        double a = std::atan2(dy, dx) * 180.0 / kPi;
        if (a < 0)
            a += 360.0;
        return long(std::lround(a * 1000.0));
    };
    long angle[kLocusRows];
    for (int i = 0; i < kLocusRows; ++i) {
        const int dx = locus[i].x - kWhite;
        const int dy = locus[i].y - kWhite;
        if (dx == 0 && dy == 0)
            return CALCOLOR_NUMERIC;
        angle[i] = angleOf(dx, dy);
    }
    for (int i = 1; i < kLocusRows; ++i)
        if (angle[i] > angle[0])
            angle[i] -= 360000;
    for (int i = 35; i < kLocusRows; ++i)
        angle[i] = std::min(angle[i], angle[i - 1]);
    for (int i = 33; i >= 0; --i)
        angle[i] = std::max(angle[i], angle[i + 1]);

    const long xs = std::lround(x * 100000.0) - kWhite;
    const long ys = std::lround(y * 100000.0) - kWhite;
    if (xs == 0 && ys == 0)
        return CALCOLOR_NUMERIC;
    long theta = angleOf(double(xs), double(ys));
    int sign = 1;
    if (theta > angle[0])
        theta -= 360000;
    if (theta < angle[kLocusRows - 1]) {
        theta += 180000;
        sign = -1;
    }
    int lo = 0;
    int hi = 0;
    if (angle[34] > theta) {
        for (hi = 35; hi < kLocusRows - 1 && angle[hi] > theta; ++hi) {
        }
        lo = hi - 1;
    } else {
        for (lo = 34; lo > 0 && angle[lo] < theta; --lo) {
        }
        hi = lo + 1;
    }
    if (angle[lo] == angle[hi])
        return CALCOLOR_NUMERIC;
    const double position = lo + double(theta - angle[lo]) / double(angle[hi] - angle[lo]);
    wavelength = sign * std::round(100.0 * (380.0 + 5.0 * position)) / 100.0;

    const int a = sign < 0 ? 0 : lo;
    const int b = sign < 0 ? kLocusRows - 1 : hi;
    const double dx = locus[a].x - locus[b].x;
    const double dy = locus[a].y - locus[b].y;
    const double det = (locus[b].x - kWhite) * dy - (locus[b].y - kWhite) * dx;
    if (std::fabs(det) < kTiny)
        return CALCOLOR_NUMERIC;
    purity = (double(xs) * dy - double(ys) * dx) / det * 100.0;
    return CALCOLOR_OK;
}

double daylightComponentFactor(double t, double& m2)
{
    const double xd = t <= 7000.0
        ? -4.6070e9 / (t * t * t) + 2.9678e6 / (t * t) + 0.09911e3 / t + 0.244063
        : -2.0064e9 / (t * t * t) + 1.9018e6 / (t * t) + 0.24748e3 / t + 0.23704;
    const double yd = -3.000 * xd * xd + 2.870 * xd - 0.275;
    const double m = 0.0241 + 0.2562 * xd - 0.7341 * yd;
    m2 = (0.0300 - 31.4424 * xd + 30.0717 * yd) / m;
    return (-1.3515 - 1.7703 * xd + 5.9114 * yd) / m;
}

struct Uvw {
    double u, v, Y;
};

// CIE 13.3: colour rendering of the 15 samples under the test source against the reference.
void renderingIndex(const float* spectrum, int observer, double tcp, float* values)
{
    const ColourMatching& cmf = kCmf[observer == 0 ? 0 : 1];
    double test[kPoints5];
    double ref[kPoints5];
    for (int k = 0; k < kPoints5; ++k)
        test[k] = spectrum[20 + 5 * k];
    if (tcp < 5000.0) {
        constexpr double c2 = 1.4388e7;  // nm K
        for (int k = 0; k < kPoints5; ++k) {
            const double nm = 380.0 + 5 * k;
            ref[k] = 100.0 * std::pow(560.0 / nm, 5) * std::expm1(c2 / (560.0 * tcp)) / std::expm1(c2 / (nm * tcp));
        }
    } else {
        double m2 = 0;
        const double m1 = daylightComponentFactor(tcp, m2);
        for (int k = 0; k < kPoints5; ++k)
            ref[k] = kDaylight[0][k] + m1 * kDaylight[1][k] + m2 * kDaylight[2][k];
    }

    // u, v and Y of the source (Y = 100) and of each sample under it.
    auto evaluate = [&](const double* s, Uvw& source, Uvw samples[15]) {
        double sy = 0;
        for (int k = 0; k < kPoints5; ++k)
            sy += s[k] * cmf.f[1][5 * k + 20];
        auto uvw = [&](const double* r) {
            double X = 0, Y = 0, Z = 0;
            for (int k = 0; k < kPoints5; ++k) {
                const double w = (r ? r[k] : 1.0) * s[k];
                X += w * cmf.f[0][5 * k + 20];
                Y += w * cmf.f[1][5 * k + 20];
                Z += w * cmf.f[2][5 * k + 20];
            }
            X *= 100.0 / sy, Y *= 100.0 / sy, Z *= 100.0 / sy;
            const double d = X + 15 * Y + 3 * Z;
            return Uvw{4 * X / d, 6 * Y / d, Y};
        };
        source = uvw(nullptr);
        for (int i = 0; i < 15; ++i)
            samples[i] = uvw(kTestSamples[i]);
    };
    Uvw testSource, refSource, testSamples[15], refSamples[15];
    evaluate(test, testSource, testSamples);
    evaluate(ref, refSource, refSamples);

    auto c = [](const Uvw& p) { return (4.0 - p.u - 10.0 * p.v) / p.v; };
    auto d = [](const Uvw& p) { return (1.708 * p.v + 0.404 - 1.481 * p.u) / p.v; };
    const double cr = c(refSource), dr = d(refSource), ck = c(testSource), dk = d(testSource);
    auto adapt = [&](const Uvw& p) {
        const double ci = c(p), di = d(p);
        const double den = 16.518 + 1.481 * (cr / ck) * ci - (dr / dk) * di;
        return Uvw{(10.872 + 0.404 * (cr / ck) * ci - 4.0 * (dr / dk) * di) / den, 5.520 / den, p.Y};
    };
    const Uvw adaptedSource = adapt(testSource);
    double sum = 0;
    bool allValid = true;
    for (int i = 0; i < 15; ++i) {
        const Uvw t = adapt(testSamples[i]);
        const Uvw& r = refSamples[i];
        const double wt = 25.0 * std::cbrt(t.Y) - 17.0;
        const double wr = 25.0 * std::cbrt(r.Y) - 17.0;
        const double du = 13.0 * wt * (t.u - adaptedSource.u) - 13.0 * wr * (r.u - refSource.u);
        const double dv = 13.0 * wt * (t.v - adaptedSource.v) - 13.0 * wr * (r.v - refSource.v);
        const double ri = 100.0 - 4.6 * std::sqrt(du * du + dv * dv + (wt - wr) * (wt - wr));
        const bool ok = std::isfinite(ri);
        values[1 + i] = ok ? float(ri) : kInvalid;
        if (i < 8) {
            sum += ri;
            allValid = allValid && ok;
        }
    }
    values[0] = allValid ? float(sum / 8.0) : kInvalid;
}

void fill(CalColorRecord& r, int from, int to, float v)
{
    for (int i = from; i < to; ++i)
        r.values[i] = v;
}

}  // namespace

int chromaticity(const Xyz& c, double& x, double& y)
{
    const double X = zeroTiny(c.X), Y = zeroTiny(c.Y), Z = zeroTiny(c.Z);
    const double sum = X + Y + Z;
    if (std::fabs(sum) < kTiny)
        return CALCOLOR_NUMERIC;
    x = X / sum;
    y = Y / sum;
    return CALCOLOR_OK;
}

int isotemperatureTcp(double x, double y, int observer, double& tcp, double& duv)
{
    if (x < 0 || y < 0)
        return CALCOLOR_BAD_ARGUMENT;
    const double den = 6 * y - x + 1.5;
    const double u = 2 * x / den;
    const double v = 3 * y / den;
    const IsoTemperatureRow* rows = kIsoTemperature[observer == 0 ? 0 : 1];
    auto distance = [&](int i) {
        const double t = rows[i].t;
        return ((u - rows[i].u) - t * (v - rows[i].v)) / std::sqrt(1 + t * t);
    };
    int o = 1;
    double best = distance(1);
    for (int i = 2; i < 65; ++i) {
        const double d = distance(i);
        if (std::fabs(d) < std::fabs(best)) {
            best = d;
            o = i;
        }
    }
    const int j = best < 0 ? o - 1 : o;
    const double dj = std::fabs(distance(j));
    const double dj1 = std::fabs(distance(j + 1));
    if (!(dj + dj1 > 0))
        return CALCOLOR_NUMERIC;
    const double k = dj / (dj + dj1);
    const double t = 1e6 / ((rows[j].n - 1 + k) * 10.0);
    if (!(t >= 1563.0 && t < 100000.0))
        return CALCOLOR_OUT_OF_RANGE;
    // Planckian point on the parabola through rows j-1, j, j+1 (j >= 1 once the range check passed).
    const IsoTemperatureRow& a = rows[j - 1];
    const IsoTemperatureRow& b = rows[j];
    const IsoTemperatureRow& c = rows[j + 1];
    const double up = ((double(a.u) + c.u) / 2 - b.u) * k * k + ((double(c.u) - a.u) / 2) * k + b.u;
    const double vp = ((double(a.v) + c.v) / 2 - b.v) * k * k + ((double(c.v) - a.v) / 2) * k + b.v;
    double delta = std::hypot(u - up, v - vp);
    if (v < vp)
        delta = -delta;
    if (std::fabs(delta) > 0.1)
        return CALCOLOR_OUT_OF_RANGE;
    tcp = t;
    duv = delta;
    return CALCOLOR_OK;
}

void lightSourceFromXyz(const Xyz& xyz, double ev, int observer, CalColorRecord& r)
{
    float* v = r.values;
    double x = 0, y = 0;
    switch (r.type) {
    case 2:
        v[0] = float(xyz.X);
        v[1] = float(xyz.Y);
        v[2] = float(xyz.Z);
        return;
    case 6: {
        fill(r, 0, 3, kInvalid);
        v[0] = float(ev);
        double tcp = 0, duv = 0;
        check(polynomialTcp(xyz, observer, tcp, duv));
        v[1] = float(tcp);
        v[2] = float(duv);
        return;
    }
    case 7:
        fill(r, 0, 3, kInvalid);
        v[2] = float(ev);
        if (chromaticity(xyz, x, y) != CALCOLOR_OK)
            raise(CALCOLOR_NO_CHROMATICITY);
        v[0] = float(x);
        v[1] = float(y);
        return;
    case 8: {
        fill(r, 0, 3, kInvalid);
        v[0] = float(ev);
        double u = 0, w = 0;
        check(uvPrime(xyz, u, w));
        v[1] = float(u);
        v[2] = float(w);
        return;
    }
    case 9: {
        fill(r, 0, 3, kInvalid);
        v[0] = float(ev);
        if (chromaticity(xyz, x, y) != CALCOLOR_OK)
            raise(CALCOLOR_NO_CHROMATICITY);
        double tcp = 0, duv = 0;
        check(isotemperatureTcp(x, y, observer, tcp, duv));
        v[1] = float(tcp);
        v[2] = float(duv);
        return;
    }
    case 10: {
        fill(r, 0, 3, kInvalid);
        check(chromaticity(xyz, x, y));
        v[0] = float(ev);
        double wavelength = 0, purity = 0;
        check(dominantWavelength(x, y, observer, wavelength, purity));
        v[1] = float(wavelength);
        v[2] = float(purity);
        return;
    }
    default:
        raise(CALCOLOR_BAD_ARGUMENT);
    }
}

void lightSourceColor(const float* s, CalColorRecord& r)
{
    Xyz xyz[2];
    integrate(s, xyz);
    const int observer = r.observer == 0 ? 0 : 1;
    const double ev = xyz[0].Y;  // photopic illuminance always from the 2 degree observer
    float* v = r.values;
    switch (r.type) {
    case 11: {
        fill(r, 0, 16, kInvalid);
        double x = 0, y = 0, tcp = 0, duv = 0;
        if (chromaticity(xyz[observer], x, y) != CALCOLOR_OK)
            raise(CALCOLOR_NO_CHROMATICITY);
        check(isotemperatureTcp(x, y, observer, tcp, duv));
        renderingIndex(s, observer, tcp, v);
        return;
    }
    case 12: {
        int peak = -1;
        for (int k = 0; k < kPoints; ++k)
            if (s[k] > 0 && (peak < 0 || s[k] > s[peak]))
                peak = k;
        if (peak < 0) {
            v[0] = kInvalid;
            raise(CALCOLOR_OUT_OF_RANGE);
        }
        v[0] = float(360 + peak);
        return;
    }
    case 13: {
        v[0] = float(ev);
        v[1] = v[2] = FLT_MAX;
        double scotopic = 0;
        for (int k = 0; k < kPoints; ++k)
            scotopic += double(s[k]) * kScotopic[k];
        scotopic *= kScotopicLumens;
        if (!std::isfinite(scotopic))
            raise(CALCOLOR_FAILED);
        scotopic = zeroTiny(scotopic);
        v[1] = float(scotopic);
        if (ev < kTiny)
            raise(CALCOLOR_NUMERIC);
        v[2] = float(scotopic / ev);
        return;
    }
    case 2:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
        lightSourceFromXyz(xyz[observer], ev, observer, r);
        return;
    default:
        raise(CALCOLOR_BAD_ARGUMENT);  // types without a calculation
    }
}

}  // namespace vexcolor
