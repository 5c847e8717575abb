#pragma once
// Progress of a scanner run as the windows show it: the bar's percent and the "k / N" count label.

#include <QString>

struct MeasureProgress {
    int percent = 0;
    QString count;
};

// measuredIndex is the 0-based index of the patch just measured. No patches: 0 and "0 / 0"; never above 100.
MeasureProgress MeasuredPatchProgress(uint measuredIndex, uint patchCount);
// The density window's variant: the same quotient taken to single precision before truncation (97 of 194 is 50
// there, 49 in the main window).
MeasureProgress MeasuredPatchProgressSingle(uint measuredIndex, uint patchCount);
