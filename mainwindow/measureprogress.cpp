#include "mainwindow/measureprogress.h"

namespace {

template <typename Real> MeasureProgress Progress(uint measuredIndex, uint patchCount)
{
    MeasureProgress progress;
    if (patchCount == 0) {
        // The scanner reported a patch of an empty page: nothing to divide by.
        progress.count = QStringLiteral("0 / 0");
        return progress;
    }
    const quint64 measured = quint64(measuredIndex) + 1; // the last index must not wrap to 0
    progress.count = QStringLiteral("%1 / %2").arg(measured).arg(patchCount);
    if (measured >= patchCount)
        progress.percent = 100;
    else
        progress.percent = int(Real(100.0 / double(patchCount) * double(measured)));
    return progress;
}

} // namespace

MeasureProgress MeasuredPatchProgress(uint measuredIndex, uint patchCount)
{
    return Progress<double>(measuredIndex, patchCount);
}

MeasureProgress MeasuredPatchProgressSingle(uint measuredIndex, uint patchCount)
{
    return Progress<float>(measuredIndex, patchCount);
}
