#include "chart/vceditchartgraphicspatch.h"

#include <algorithm>

CVCEditChartGraphicsPatch::CVCEditChartGraphicsPatch(QRectF rect, int rowCount, int columnCount,
                                                     const ChartDefinitionData::PatchColor &patch,
                                                     const InkChannelList &inks, int fontPointSize,
                                                     bool showsPageImage)
    : CVCChartGraphicsPatch(rect, patch, inks, fontPointSize, showsPageImage), m_rowCount(rowCount),
      m_columnCount(columnCount)
{
}

QRectF CVCEditChartGraphicsPatch::boundingRect() const
{
    return QRectF(m_rect.x() + m_offsetX, m_rect.y() + m_offsetY, m_rect.width() + m_widthGrowth,
                  m_rect.height() + m_heightGrowth);
}

void CVCEditChartGraphicsPatch::AreaDragMoved(int areaNo, QSizeF size)
{
    if (areaNo != m_area)
        return;
    prepareGeometryChange();
    m_offsetX = size.width();
    m_offsetY = size.height();
    update();
}

void CVCEditChartGraphicsPatch::AreaDragResized(int areaNo, QSizeF size)
{
    if (areaNo != m_area)
        return;
    prepareGeometryChange();
    // Every patch and every step grows alike, so the whole area grows from its top-left corner.
    m_widthGrowth = size.width() / std::max(1, m_columnCount);
    m_heightGrowth = size.height() / std::max(1, m_rowCount);
    m_offsetX = m_column * m_widthGrowth;
    m_offsetY = m_row * m_heightGrowth;
    update();
}
