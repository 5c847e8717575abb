#include "color_bridge.h"

#include "vexcolor.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vexapi {

namespace {

struct Pair {
    int key;
    int value;
};

constexpr Pair kKindTypes[] = {{0, 7}, {1, 8}, {2, 9}, {3, 6}, {4, 10}, {5, 2}, {6, 11}, {7, 12}, {9, 13}};
constexpr Pair kObservers[] = {{0, 0}, {1, 1}};
constexpr int kLightSourceCmf = 241;  // the 1-nm colour-matching functions
constexpr float kLuxPerFootCandle = 10.764f;

template <std::size_t N>
int Lookup(const Pair (&table)[N], int key)
{
    for (const Pair& p : table) {
        if (p.key == key)
            return p.value;
    }
    return -1;
}

// Results of SpectrumToColor that count as a warning for kinds 0-4; the code of any other failure.
struct KindRule {
    int warnings[3];
    int failure;
};
constexpr KindRule kKindRules[5] = {
    {{8, -1, -1}, 123}, {{1, 6, -1}, 124}, {{2, 4, 8}, 121}, {{2, 8, -1}, 122}, {{6, -1, -1}, 125}};

bool IsWarning(const KindRule& rule, int result)
{
    return std::find(std::begin(rule.warnings), std::end(rule.warnings), result) != std::end(rule.warnings);
}

bool Invalid(float v) { return v == kInvalidColour; }

float Difference(float r, float s) { return Invalid(r) || Invalid(s) ? kInvalidColour : s - r; }

float Ratio(float r, float s)
{
    if (Invalid(r) || Invalid(s) || r < 1e-37f)
        return kInvalidColour;
    return s / r * 100.0f;
}

}  // namespace

int cConvertMng::KindToType(int kind) { return Lookup(kKindTypes, kind); }

int cConvertMng::ObserverToObserver(int observer) { return Lookup(kObservers, observer); }

int cConvertMng::ConvertUnit(float* value, int unit)
{
    if (value && unit == 1)
        *value /= kLuxPerFootCandle;
    return 0;
}

cColorFunction::cColorFunction() { std::fill(std::begin(spectrum_), std::end(spectrum_), 0.0f); }

int cColorFunction::SetSpectrum(const float* spectrum)
{
    if (!spectrum)
        return 110;
    std::memcpy(spectrum_, spectrum, sizeof spectrum_);
    valid_ = true;
    return 0;
}

int cColorFunction::Calculate(float* out, int kind, int observer, int unit)
{
    if (!out)
        return 101;
    if (!valid_)
        return 102;
    if (kind < 0 || kind > 9)
        return 103;
    if (observer < 0 || observer > 1)
        return 104;
    if (unit < 0 || unit > 1)
        return 105;
    if (kind == 8) {
        std::memcpy(out, spectrum_, sizeof spectrum_);
        return 0;
    }
    CalColorRecord request{};
    request.type = cConvertMng::KindToType(kind);
    request.observer = cConvertMng::ObserverToObserver(observer);
    request.illuminant = kLightSourceCmf;
    const int result = SpectrumToColor(spectrum_, kSpectrumPoints, &request);
    const float* v = request.values;

    if (kind <= 4) {
        const KindRule& rule = kKindRules[kind];
        const bool warned = result != 0 && IsWarning(rule, result);
        if (result != 0 && !warned)
            return rule.failure;
        if (kind == 0) {
            out[0] = v[2];
            out[1] = v[0];
            out[2] = v[1];
        } else {
            std::copy(v, v + 3, out);
        }
        // The illuminance is converted whenever it is a number, warning or not, so that results of
        // one call never mix units.
        if (!Invalid(out[0]))
            cConvertMng::ConvertUnit(&out[0], unit);
        return warned ? 2 : 0;
    }
    switch (kind) {
    case 5:
        if (result != 0)
            return 120;
        std::copy(v, v + 3, out);
        return 0;
    case 6:
        if (result == 2 || result == 8) {
            std::fill(out, out + 16, kInvalidColour);
            return 2;
        }
        if (result != 0)
            return 126;
        std::copy(v, v + 16, out);
        return 0;
    case 7:
        // A spectrum with no positive value has no peak: libvexcolor marks it and warns.
        if (result == 2) {
            out[0] = kInvalidColour;
            return 2;
        }
        if (result != 0)
            return 127;
        out[0] = v[0];
        return 0;
    default: {  // 9
        const bool warned = result == 6;
        if (result != 0 && !warned)
            return 128;
        out[0] = v[0];
        out[1] = v[1];
        out[2] = warned ? kInvalidColour : v[2];
        cConvertMng::ConvertUnit(&out[0], unit);
        cConvertMng::ConvertUnit(&out[1], unit);
        return warned ? 2 : 0;
    }
    }
}

cColorDiffFunction::cColorDiffFunction()
{
    std::fill(std::begin(reference_), std::end(reference_), 0.0f);
    std::fill(std::begin(sample_), std::end(sample_), 0.0f);
    std::fill(std::begin(referenceResult_), std::end(referenceResult_), 0.0f);
    std::fill(std::begin(sampleResult_), std::end(sampleResult_), 0.0f);
}

int cColorDiffFunction::SetReference(const float* spectrum)
{
    if (!spectrum)
        return 120;
    std::memcpy(reference_, spectrum, sizeof reference_);
    referenceSet_ = true;
    return 0;
}

int cColorDiffFunction::SetSample(const float* spectrum)
{
    if (!spectrum)
        return 110;
    std::memcpy(sample_, spectrum, sizeof sample_);
    sampleSet_ = true;
    return 0;
}

int cColorDiffFunction::Calculate(float* out, int kind, int observer, int unit)
{
    if (!out)
        return 105;
    if (kind < 0 || kind > 9)
        return 101;
    if (observer < 0 || observer > 1)
        return 102;
    if (!referenceSet_)
        return 103;
    if (!sampleSet_)
        return 104;
    if (unit < 0 || unit > 1)
        return 106;
    if (kind == 8)
        return 130;

    bool warned = false;
    const auto side = [&](const float* spectrum, float* result) {
        if (work_.SetSpectrum(spectrum) != 0)
            return 120;
        const int code = work_.Calculate(result, kind, observer, unit);
        if (code == 1 || code == 2)
            warned = true;
        else if (code != 0)
            return 121;
        return 0;
    };
    std::fill(std::begin(referenceResult_), std::end(referenceResult_), kInvalidColour);
    std::fill(std::begin(sampleResult_), std::end(sampleResult_), kInvalidColour);
    int code = side(reference_, referenceResult_);
    if (code != 0)
        return code;
    code = side(sample_, sampleResult_);
    if (code != 0)
        return code;

    const float* r = referenceResult_;
    const float* s = sampleResult_;
    switch (kind) {
    case 0:
    case 1:
    case 4:
        out[0] = Difference(r[0], s[0]);
        out[1] = Ratio(r[0], s[0]);
        out[2] = Difference(r[1], s[1]);
        out[3] = Difference(r[2], s[2]);
        break;
    case 2:
    case 3:
        out[0] = Difference(r[0], s[0]);
        out[1] = Ratio(r[0], s[0]);
        out[2] = Difference(r[1], s[1]);
        out[3] = kInvalidColour;
        break;
    case 5:
        for (int i = 0; i < 3; ++i) {
            out[i] = Difference(r[i], s[i]);
            out[3 + i] = Ratio(r[i], s[i]);
        }
        break;
    case 6:
        for (int i = 0; i < 16; ++i)
            out[i] = Difference(r[i], s[i]);
        break;
    case 7:
        out[0] = Difference(r[0], s[0]);
        break;
    default:  // 9
        out[0] = Difference(r[0], s[0]);
        out[1] = Ratio(r[0], s[0]);
        out[2] = Difference(r[1], s[1]);
        out[3] = Ratio(r[1], s[1]);
        out[4] = Difference(r[2], s[2]);
        break;
    }
    return warned ? 1 : 0;
}

}  // namespace vexapi
