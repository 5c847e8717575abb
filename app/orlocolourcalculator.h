#pragma once
// Turns a stored 152-value instrument block into the values the program shows and exports (4 densities,
// L*a*b*, L*C*h, XYZ, 36 reflectances) through the chart scanner's library, and sets the measurement
// options those calculations and the scanner's runs depend on. Keeps the paper densities that a
// paper-relative density is taken against. Works with or without a connected instrument.

#include "app/orlosdkhost.h"
#include "app/settingrecords.h"

#include <QVector>

struct EnvironLightData;

class COrloColourCalculator
{
public:
    enum Result {
        kDensityFailed = 20006,
        kSpectrumOptionFailed = 20013,
        kSpectrumFailed = 20014,
        kOptionsFailed = 20015,
        kUserIlluminantFailed = 20024,
        kUserColorKind = 20054,
        kUserColorFailed = 20055,
        kColorKind = 20056,
        kColorFailed = 20057,
    };
    static constexpr int kPatchValueCount = 49;

    // The host reports option failures (message 9) and hands out user illuminants; it may be null.
    explicit COrloColourCalculator(COrloSDKHost *host);

    // Groups 0, 1 and 2 from the condition record; a failure is reported at once and stops the sequence.
    int SetOption(const Setting::MeasureConditionSetting &record, int conditionId);
    int RegisterUserIlluminant(const EnvironLightData &record);

    int CalculatePatchValues(float out[kPatchValueCount], const float *block,
                             const Setting::MeasureConditionSetting &record, int conditionId);
    int CalculateDensity(float out[4], const float *block, const Setting::MeasureConditionSetting &record,
                         int conditionId);
    int CalculateColor(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                       int conditionId, int kind);
    int CalculateColorUserIlluminant(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                                     int conditionId, int kind);
    int CalculateSpectrum(float out[36], const float *block, int conditionId);
    int CalculateLabWithOptions(float out[3], const float *block, int conditionId, int illuminantId, int observer);
    int CalculateSpectrumForCondition(float out[36], const float *block, int conditionId);
    int StorePaperDensities(const float *paperBlock, const Setting::MeasureConditionSetting &record,
                            const QVector<int> &conditions);

private:
    int RegisterUserIlluminantFor(int conditionId, int illuminantId);

    COrloSDKHost *m_host;
    float m_paperDensity[20][4];
};
