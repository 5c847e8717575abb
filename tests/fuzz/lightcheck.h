#pragma once
// The round trip of a light-source file: what the reader accepts, the writer writes in the same format, and that
// file must read back with the same wavelengths, instrument (and date, in ".uid2") and the values to the four
// decimals the format keeps; a second round must then change nothing.

#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/illuminantdata.h"
#include "files/iodatafile.h"

#include <cmath>

namespace fuzz {

inline QString LightDifference(const EnvironLightData &a, const EnvironLightData &b, bool withDate, bool exact)
{
    if (a.Source != b.Source || a.Start != b.Start || a.Step != b.Step || a.End != b.End)
        return QStringLiteral("wavelengths or instrument %1 %2 %3 %4 became %5 %6 %7 %8")
            .arg(a.Source)
            .arg(a.Start)
            .arg(a.Step)
            .arg(a.End)
            .arg(b.Source)
            .arg(b.Start)
            .arg(b.Step)
            .arg(b.End);
    if (withDate && a.Date != b.Date)
        return QStringLiteral("date \"%1\" became \"%2\"").arg(a.Date, b.Date);
    for (int k = 0; k < kEnvironLightValueCount; ++k) {
        const double x = a.Values[k];
        const double y = b.Values[k];
        const bool same = exact ? SameFloat(a.Values[k], b.Values[k])
                                : std::fabs(x - y) <= 0.5e-4 + std::fabs(x) * std::ldexp(1.0, -22);
        if (!same)
            return QStringLiteral("value %1: %2 became %3").arg(k).arg(x, 0, 'g', 9).arg(y, 0, 'g', 9);
    }
    return QString();
}

inline void CheckLightFile(const char *target, const std::uint8_t *data, std::size_t size, int format)
{
    EnsureApplication();
    const QString folder = FreshFolder(target);
    const QString suffix = format == 0 ? QStringLiteral("uid2") : QStringLiteral("uid");
    const QString path = WriteInput(folder, QStringLiteral("light.") + suffix, data, size);
    EnvironLightData read;
    if (CIODataFile::ReadEnvironmentLightData(&read, path, format) != CIODataFile::Success)
        return;
    EnvironLightData previous = read;
    for (int round = 1; round <= 2; ++round) {
        const QString written = folder + QStringLiteral("/round%1.").arg(round) + suffix;
        int result = CIODataFile::WriteEnvironmentLightData(written, format, previous);
        if (result != CIODataFile::Success)
            Fail(target, QStringLiteral("the writer refused a light its reader accepted (%1)").arg(result));
        EnvironLightData back;
        result = CIODataFile::ReadEnvironmentLightData(&back, written, format);
        if (result != CIODataFile::Success)
            Fail(target, QStringLiteral("round %1: the written file does not read (%2)").arg(round).arg(result));
        // A ".uid" file has no date: the reader takes the file's time.
        const QString diff = LightDifference(previous, back, format == 0, round == 2);
        if (!diff.isEmpty())
            Fail(target, QStringLiteral("round %1: ").arg(round) + diff);
        previous = back;
    }
}

} // namespace fuzz
