#pragma once
// The patch item of the chart editing view: a chart patch that follows the live offsets of a drag of its area,
// moved with it or grown from the area's top-left corner, so the user sees the result before releasing.

#include "chart/vcchartgraphicspatch.h"

#include <QSizeF>

class CVCEditChartGraphicsPatch : public CVCChartGraphicsPatch
{
    Q_OBJECT
public:
    // rowCount and columnCount are those of the patch's area.
    CVCEditChartGraphicsPatch(QRectF rect, int rowCount, int columnCount, const ChartDefinitionData::PatchColor &patch,
                              const InkChannelList &inks, int fontPointSize, bool showsPageImage);

    // The stored rectangle moved by the offsets and enlarged by the growths.
    QRectF boundingRect() const override;

public slots:
    // Both act only for the item's own area; the size is the drag's offset in scene pixels.
    void AreaDragMoved(int areaNo, QSizeF size);
    void AreaDragResized(int areaNo, QSizeF size);

private:
    int m_rowCount;
    int m_columnCount;
    double m_offsetX = 0;
    double m_offsetY = 0;
    double m_widthGrowth = 0;
    double m_heightGrowth = 0;
};
