#pragma once
// Tells whether the layout the chart scanner recognised on the paper is that of the chart registered for the
// run: only area count, patch count and per-area rows and columns take part.

#include "app/records.h"

#include "OrloSDK.h"

class CCheckChartCoordinate
{
public:
    enum Outcome { Same = 0, RowsColumnsSwapped = 1, RowsColumnsDiffer = 2, AreaCountDiffers = 3, PatchCountDiffers = 4 };

    CCheckChartCoordinate(const OrloLayoutRecord &recognised, const ChartDefinitionData::Sheet &registered);
    virtual ~CCheckChartCoordinate() = default;

    void SetRegisteredCoordinate(const ChartDefinitionData::Sheet &sheet);
    int CheckCoordinate() const;

private:
    OrloLayoutRecord m_recognised;
    OrloLayoutRecord m_registered;
};
