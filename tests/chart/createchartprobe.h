#pragma once
// Reads of the chart editor's records for the editor tests: the IDs and the duplicate marks of an area in list order.

#include "chart/createchartcore.h"

#include <QVector>

namespace createchartprobe {

using IdList = QVector<int>;

inline IdList idsOf(const CreateChartArea &area)
{
    IdList ids;
    for (const CreateChartPatch &patch : area.Patches)
        ids.append(patch.ID);
    return ids;
}

inline IdList duplicatedOf(const CreateChartArea &area)
{
    IdList marks;
    for (const CreateChartPatch &patch : area.Patches)
        marks.append(patch.Duplicated);
    return marks;
}

} // namespace createchartprobe
