// The user-illuminant file: what the store loads it saves, and a second store must load the same records.
#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/illuminantdata.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The values a record describes by its wavelengths (all 97 when they describe no range); only these are kept.
int DescribedValues(const EnvironLightData &record)
{
    if (record.Step <= 0 || record.End < record.Start)
        return kEnvironLightValueCount;
    const qint64 n = (qint64(record.End) - record.Start) / record.Step + 1;
    return int(std::clamp<qint64>(n, 0, kEnvironLightValueCount));
}

QString Differences(const CIlluminantData &a, const CIlluminantData &b)
{
    if (a.GetRecordCount() != b.GetRecordCount())
        return QStringLiteral("record count %1 became %2").arg(a.GetRecordCount()).arg(b.GetRecordCount());
    for (int i = 0; i < a.GetRecordCount(); ++i) {
        const EnvironLightData &r = *a.GetRecord(i);
        const EnvironLightData &s = *b.GetRecord(i);
        if (r.Name != s.Name || r.Date != s.Date || r.Source != s.Source || r.Start != s.Start || r.Step != s.Step ||
            r.End != s.End)
            return QStringLiteral("record %1: header fields changed").arg(i);
        for (int k = 0; k < DescribedValues(r); ++k)
            if (!fuzz::SameFloat(r.Values[k], s.Values[k]))
                return QStringLiteral("record %1: value %2 changed").arg(i).arg(k);
    }
    return QString();
}

} // namespace

VAREMO_FUZZ_TARGET(illuminants)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("illuminants");
    CIlluminantData first(folder);
    fuzz::WriteInput(folder, QFileInfo(first.FilePath()).fileName(), data, size);
    if (!first.LoadUserIlluminant())
        return 0;
    first.RebuildSlots();
    const int saved = first.SaveUserIlluminant();
    if (saved != 0)
        fuzz::Fail("illuminants", QStringLiteral("the illuminants could not be saved (%1)").arg(saved));
    CIlluminantData second(folder);
    if (!second.LoadUserIlluminant())
        fuzz::Fail("illuminants", QStringLiteral("the saved illuminant file does not load"));
    const QString diff = Differences(first, second);
    if (!diff.isEmpty())
        fuzz::Fail("illuminants", diff);
    return 0;
}
