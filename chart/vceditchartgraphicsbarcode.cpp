#include "chart/vceditchartgraphicsbarcode.h"

CVCEditChartGraphicsBarcode::CVCEditChartGraphicsBarcode(qreal x, qreal y, qreal width, qreal height,
                                                         qreal marginWidth, qreal marginHeight)
    : CVCChartGraphicsBarcode(x, y, width, height, marginWidth, marginHeight)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
}

QRectF CVCEditChartGraphicsBarcode::boundingRect() const
{
    return CVCChartGraphicsBarcode::boundingRect().translated(m_offsetX, m_offsetY);
}

void CVCEditChartGraphicsBarcode::BarcodeDragMoved(QSizeF size)
{
    prepareGeometryChange();
    m_offsetX = size.width();
    m_offsetY = size.height();
    update();
}
