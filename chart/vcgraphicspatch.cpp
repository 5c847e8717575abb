#include "chart/vcgraphicspatch.h"

#include "app/colourhelpers.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

CVCGraphicsPatch::CVCGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch,
                                   const InkChannelList &inks)
    : m_rect(rect), m_area(patch.Area), m_row(patch.Row), m_column(patch.Column), m_patchNumber(patch.ID),
      m_inks(inks), m_fillColor(PatchColorToQColor(patch, inks)), m_measuredColor(Qt::white)
{
}

CVCGraphicsPatch::CVCGraphicsPatch(QRectF rect, int area, int row, int column)
    : m_rect(rect), m_area(area), m_row(row), m_column(column)
{
}

QRectF CVCGraphicsPatch::boundingRect() const
{
    return m_rect;
}

void CVCGraphicsPatch::GetIndices(int *area, int *row, int *column) const
{
    *area = m_area;
    *row = m_row;
    *column = m_column;
}

void CVCGraphicsPatch::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QPen saved = painter->pen();
    const QBrush savedBrush = painter->brush();
    const QRectF r = boundingRect();
    if (m_display != 3 && m_display != 5) {
        painter->fillRect(r, m_fillColor);
        if (m_display == 1 || m_display == 2) {
            QPainterPath triangle;
            triangle.moveTo(r.bottomLeft());
            triangle.lineTo(r.topRight());
            triangle.lineTo(r.bottomRight());
            triangle.closeSubpath();
            painter->fillPath(triangle, QBrush(m_display == 1 ? QColor(Qt::white) : m_measuredColor));
        }
    }
    painter->setBrush(Qt::NoBrush);

    QPen outline = saved;
    outline.setCosmetic(true);
    if (m_display == 4) {
        outline.setColor(m_fillColor);
    } else if (m_display == 5) {
        outline.setColor(Qt::red);
        outline.setWidthF(2);
    } else if (option && (option->state & QStyle::State_Selected)) {
        outline.setColor(Qt::red);
        outline.setWidthF(4);
    } else {
        outline.setColor(Qt::black);
    }
    painter->setPen(outline);
    painter->drawRect(r);
    painter->setPen(saved);
    painter->setBrush(savedBrush);
}

void CVCGraphicsPatch::SetPatchColor(ChartDefinitionData::PatchColor patchColor)
{
    if (patchColor.Area != m_area || patchColor.Row != m_row || patchColor.Column != m_column)
        return;
    if (m_display == 1 || m_display == 2) {
        m_measuredColor = PatchColorToQColor(patchColor, m_inks);
        m_display = 2;
    } else {
        m_patchNumber = patchColor.ID;
        m_fillColor = PatchColorToQColor(patchColor, m_inks);
    }
    update();
}

void CVCGraphicsPatch::ClearPatchColor()
{
    m_display = 0;
    m_fillColor = Qt::white;
    m_measuredColor = Qt::white;
    update();
}

void CVCGraphicsPatch::SetDisplay(int display)
{
    m_display = display;
    update();
}

QVariant CVCGraphicsPatch::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        if (value.toBool()) {
            emit SelectPatch(m_area, m_row, m_column);
            setZValue(0.1);
        } else {
            emit ClearPatch();
            setZValue(0.0);
        }
    }
    return QGraphicsObject::itemChange(change, value);
}
