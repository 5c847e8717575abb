#pragma once
// Small pieces shared by the imports of chart layouts that other tools write as XML.

#include "app/recordhelpers.h"
#include "app/records.h"
#include "app/unithelpers.h"
#include "files/parsehelpers.h"

#include <cmath>

namespace xmlchart {

constexpr int kMinPatchId = 1;
constexpr int kMaxPatchId = 9999;
// Rows x columns of one page grid; the grouping walks every cell.
constexpr qint64 kMaxGridCells = 1000000;

// What every chart import sets before reading: a millimetre chart of kind Normal, recognition Combine, no pages.
inline void ResetImportedChart(ChartDefinitionDataSheets *chart)
{
    ClearChartDefinitionData(chart);
    chart->Diameter = 1;
    chart->Recog = ChartDefinitionData::RecogCombine;
}

// Millimetres to hundredths of a millimetre, rounded half up; false when that does not fit an int.
inline bool MillimetresToFixed(double millimetres, int *fixed)
{
    int checked = 0;
    if (!FitsInt(std::floor(millimetres * 100.0 + 0.5), &checked))
        return false;
    *fixed = ToUnitFixed(0, millimetres);
    return true;
}

inline bool IsValidPatchId(qint64 id)
{
    return id >= kMinPatchId && id <= kMaxPatchId;
}

} // namespace xmlchart
