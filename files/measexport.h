#pragma once
// What the measurement writers share besides the CIODataFile members: dates, the paper-white fallback, counts
// and the atomic file writes.

#include "app/constants.h"
#include "app/records.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class CIODataFileHost;

namespace MeasureExport {

// The maker every exported file names.
extern const QString kMaker;

// The creation text "yyyy/MM/dd hh:mm:ss" as local time; invalid when it does not parse.
QDateTime ParseCreateTime(const QString &createTime);
// Local date and time with its offset ("+09:00", "Z" for UTC); empty when the text does not parse.
QString IsoDateWithOffset(const QString &createTime);

// Density relative to paper needs a paper white; without one the whole file goes absolute.
Setting::MeasureConditionSetting ApplyPaperWhiteFallback(CIODataFileHost *host,
                                                         const Setting::MeasureConditionSetting &setting);
// What the measurement writers take from the host: the conditions after the paper-white fallback, the user
// illuminants and the ink names.
struct WriterInputs {
    Setting::MeasureConditionSetting conditions;
    UserIlluminantSlots illuminants;
    InkChannelList inks;
};
WriterInputs GatherWriterInputs(CIODataFileHost *host, const Setting::MeasureConditionSetting &setting);
// The stored measured-patch counts of all pages.
int MeasuredPatchTotal(const MeasurementDataSheets &measurement);
// Colour space on and at least one of L*a*b*, L*C*h, XYZ.
bool AnyColorSpace(const Setting::MeasureConditionSetting &setting);

QByteArray Utf8WithCrLf(const QString &text);

// The first failure wins; a later one never hides it.
inline void KeepFirstFailure(int *result, int code)
{
    if (*result == 0)
        *result = code;
}

} // namespace MeasureExport
