#pragma once
// The judgement of one inspection and the result report of a history entry, kept apart from the dialog so they
// can be checked with plain records.

#include "app/constants.h"
#include "app/diagnosedata.h"
#include "app/records.h"

#include <QByteArray>

namespace DiagnosisResult {

constexpr int kChecked = 2; // the table check state a judged kind carries

// 1 when difference passes tolerance for the kind (0-2 two-sided, 3-4 upper bound); a value that is not a number
// fails. Compared in single precision.
int Judge(int kind, float difference, float tolerance);

// Fills the standard values, differences, tolerances, judgements and check states of the 14 measured results
// (tile id, measured L*a*b* and reflectances already set). Returns the overall judgement: 0 as soon as a checked
// kind fails, else 1.
int Evaluate(TileResultRecord results[kTileCount], const StandardValueRecord standards[kTileCount],
             const ToleranceRecord tolerances[kColourDifferenceKindCount]);

// The report of one history entry: 92 lines, each ending in CR LF, UTF-8.
QByteArray ReportBytes(const DiagnoseHistoryRecord &entry, const UserIlluminantSlots &illuminants);

// "%1_Result.csv" with the serial number as stored.
QString ReportFileName(const DiagnoseHistoryRecord &entry);

} // namespace DiagnosisResult
