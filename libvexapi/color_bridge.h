// The colour bridge: result kinds of the Vex interface on top of libvexcolor's light-source
// calculation, with the illuminance unit, differences and ratios.
#pragma once

namespace vexapi {

constexpr float kInvalidColour = -11000.0f;
constexpr int kSpectrumPoints = 421;

class cConvertMng {
public:
    virtual ~cConvertMng() = default;
    static int KindToType(int kind);          // -1 when the kind has no light-source type
    static int ObserverToObserver(int observer);
    static int ConvertUnit(float* value, int unit);  // unit 1: lux to foot-candles
};

class cColorFunction {
public:
    cColorFunction();
    virtual ~cColorFunction() = default;
    cColorFunction(const cColorFunction&) = default;
    cColorFunction& operator=(const cColorFunction&) = default;

    int SetSpectrum(const float* spectrum);
    // 0 done, 2 done with a warning, otherwise a failure code (nothing written).
    int Calculate(float* out, int kind, int observer, int unit);

private:
    bool valid_ = false;
    float spectrum_[kSpectrumPoints];
};

class cColorDiffFunction {
public:
    cColorDiffFunction();
    virtual ~cColorDiffFunction() = default;
    cColorDiffFunction(const cColorDiffFunction&) = default;
    cColorDiffFunction& operator=(const cColorDiffFunction&) = default;

    int SetReference(const float* spectrum);
    int SetSample(const float* spectrum);
    // 0 done, 1 done with a warning on either side, otherwise a failure code.
    int Calculate(float* out, int kind, int observer, int unit);

private:
    cColorFunction work_;
    float reference_[kSpectrumPoints];
    float sample_[kSpectrumPoints];
    float referenceResult_[kSpectrumPoints];
    float sampleResult_[kSpectrumPoints];
    bool referenceSet_ = false;
    bool sampleSet_ = false;
};

}  // namespace vexapi
