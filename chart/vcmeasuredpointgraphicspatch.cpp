#include "chart/vcmeasuredpointgraphicspatch.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

// The base's rectangle fields carry the centre and the two radii.
CVCMeasuredPointGraphicsPatch::CVCMeasuredPointGraphicsPatch(qreal centreX, qreal centreY, qreal radiusX,
                                                             qreal radiusY, int area, int row, int column)
    : CVCGraphicsPatch(QRectF(centreX, centreY, radiusX, radiusY), area, row, column)
{
}

QRectF CVCMeasuredPointGraphicsPatch::boundingRect() const
{
    return QRectF(m_rect.x() - m_rect.width(), m_rect.y() - m_rect.height(), 2 * m_rect.width(),
                  2 * m_rect.height());
}

void CVCMeasuredPointGraphicsPatch::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QPen saved = painter->pen();
    const QBrush savedBrush = painter->brush();
    const QColor colour = option && (option->state & QStyle::State_Selected) ? QColor(Qt::yellow) : QColor(Qt::red);
    QPen pen = saved;
    pen.setCosmetic(true);
    pen.setColor(colour);
    painter->setPen(pen);
    painter->setBrush(QBrush(colour, Qt::SolidPattern));
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->drawEllipse(boundingRect());
    painter->setPen(saved);
    painter->setBrush(savedBrush);
}
