#pragma once
// The density chart of the chart-scanning instrument: the chart layout view plus the printed marks the scanner
// finds the chart by, three arrows along the top edge and a black bar under the patch areas.

#include "chart/vcchartgraphicsview.h"

class CVCDensityChartGraphicsView : public CVCChartGraphicsView
{
    Q_OBJECT
public:
    explicit CVCDensityChartGraphicsView(QWidget *parent = nullptr);
    ~CVCDensityChartGraphicsView() override;

    void DrawMarks(const ChartDefinitionData::Sheet *sheet) override;
};
