#include "app/orlocolourcalculator.h"

#include "app/constants.h"
#include "app/illuminantdata.h"

#include "OrloSDK.h"

#include <cstring>

namespace {

bool IsUserIlluminantId(int id)
{
    return id >= kFirstUserIlluminantId && id < kFirstUserIlluminantId + kUserIlluminantSlotCount;
}

int ResolvedIlluminant(int illuminantId, int conditionId)
{
    return IsAutoIlluminant(illuminantId) ? AutoIlluminantFor(conditionId) : illuminantId;
}

} // namespace

COrloColourCalculator::COrloColourCalculator(COrloSDKHost *host) : m_host(host)
{
    std::memset(m_paperDensity, 0, sizeof m_paperDensity);
}

int COrloColourCalculator::SetOption(const Setting::MeasureConditionSetting &record, int conditionId)
{
    const int illuminant = ResolvedIlluminant(record.Illuminant, conditionId);
    const int values[3] = {MeasurementConditionIlluminantCode(conditionId), IlluminantCode(illuminant),
                           ObserverCode(record.Observer)};
    for (int group = 0; group < 3; ++group) {
        if (Orlo_SetOption(group, values[group]) != 0) {
            if (m_host)
                m_host->ReportError(kOptionsFailed, 9, false);
            return kOptionsFailed;
        }
    }
    return 0;
}

int COrloColourCalculator::RegisterUserIlluminant(const EnvironLightData &record)
{
    return Orlo_RegisterUserIlluminant(record.Values) != 0 ? kUserIlluminantFailed : 0;
}

int COrloColourCalculator::RegisterUserIlluminantFor(int conditionId, int illuminantId)
{
    if (!m_host)
        return kUserIlluminantFailed;
    EnvironLightData light;
    if (m_host->GetUserIlluminantForCondition(conditionId, illuminantId, &light) != 0)
        return kUserIlluminantFailed;
    return RegisterUserIlluminant(light);
}

int COrloColourCalculator::CalculateDensity(float out[4], const float *block,
                                            const Setting::MeasureConditionSetting &record, int conditionId)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 ||
        Orlo_SetOption(3, DensityStatusCode(record.DensityStatus)) != 0 ||
        Orlo_CalculateData(out, 4, block, kInstrumentValueCount) != 0)
        return kDensityFailed;
    if (record.WhiteReference == 1 && conditionId >= 0 && conditionId < kMeasurementConditionCount) {
        for (int i = 0; i < 4; ++i)
            out[i] -= m_paperDensity[conditionId][i];
    }
    return 0;
}

int COrloColourCalculator::CalculateColor(float out[3], const float *block,
                                          const Setting::MeasureConditionSetting &record, int conditionId, int kind)
{
    if (kind < 0 || kind > 2)
        return kColorKind;
    const int illuminant = ResolvedIlluminant(record.Illuminant, conditionId);
    if (IsUserIlluminantId(illuminant)) {
        const int result = RegisterUserIlluminantFor(conditionId, illuminant);
        if (result != 0)
            return result;
    }
    if (SetOption(record, conditionId) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, kind) != 0 || Orlo_CalculateData(out, 3, block, kInstrumentValueCount) != 0)
        return kColorFailed;
    return 0;
}

int COrloColourCalculator::CalculateColorUserIlluminant(float out[3], const float *block,
                                                        const Setting::MeasureConditionSetting &record, int conditionId,
                                                        int kind)
{
    if (kind < 0 || kind > 2)
        return kUserColorKind;
    // The reflectance under the condition's own light, then the colour under the record's illuminant.
    int result = RegisterUserIlluminantFor(conditionId, conditionId);
    if (result != 0)
        return result;
    float spectrum[36] = {};
    result = CalculateSpectrum(spectrum, block, conditionId);
    if (result != 0)
        return result;
    result = RegisterUserIlluminantFor(conditionId, ResolvedIlluminant(record.Illuminant, conditionId));
    if (result != 0)
        return result;
    if (SetOption(record, conditionId) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, kind) != 0 || Orlo_CalculateData(out, 3, spectrum, 36) != 0)
        return kUserColorFailed;
    return 0;
}

int COrloColourCalculator::CalculateSpectrum(float out[36], const float *block, int conditionId)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 || Orlo_SetOption(3, 11) != 0)
        return kSpectrumOptionFailed;
    return Orlo_CalculateData(out, 36, block, kInstrumentValueCount) != 0 ? kSpectrumFailed : 0;
}

int COrloColourCalculator::CalculateSpectrumForCondition(float out[36], const float *block, int conditionId)
{
    return CalculateSpectrum(out, block, conditionId);
}

int COrloColourCalculator::CalculatePatchValues(float out[kPatchValueCount], const float *block,
                                                const Setting::MeasureConditionSetting &record, int conditionId)
{
    if (!out || !block)
        return kDensityFailed;
    int result = CalculateDensity(out, block, record, conditionId);
    if (result != 0)
        return result;
    const bool userPath = IsUserMeasurementCondition(conditionId) &&
                          IsUserIlluminantId(ResolvedIlluminant(record.Illuminant, conditionId));
    for (int kind = 0; kind < 3; ++kind) {
        float *values = out + 4 + 3 * kind;
        result = userPath ? CalculateColorUserIlluminant(values, block, record, conditionId, kind)
                          : CalculateColor(values, block, record, conditionId, kind);
        if (result != 0)
            return result;
    }
    return CalculateSpectrum(out + 13, block, conditionId);
}

int COrloColourCalculator::CalculateLabWithOptions(float out[3], const float *block, int conditionId, int illuminantId,
                                                   int observer)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 ||
        Orlo_SetOption(1, IlluminantCode(illuminantId)) != 0 || Orlo_SetOption(2, ObserverCode(observer)) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, 0) != 0 || Orlo_CalculateData(out, 3, block, kInstrumentValueCount) != 0)
        return kColorFailed;
    return 0;
}

int COrloColourCalculator::StorePaperDensities(const float *paperBlock, const Setting::MeasureConditionSetting &record,
                                               const QVector<int> &conditions)
{
    if (record.DensityShown != 1 || record.WhiteReference != 1)
        return 0;
    Setting::MeasureConditionSetting absolute = record;
    absolute.WhiteReference = 0; // the paper itself, not relative to the paper
    for (int id : conditions) {
        if (id < 0 || id >= kMeasurementConditionCount)
            continue;
        const int result = CalculateDensity(m_paperDensity[id], paperBlock, absolute, id);
        if (result != 0)
            return result;
    }
    return 0;
}
