#include "chart/vchandychartgraphicscolumn.h"

#include "chart/vcgraphicspatch.h"

#include <QGraphicsRectItem>
#include <QMetaMethod>
#include <QPainter>

CVCHandyChartGraphicsColumn::CVCHandyChartGraphicsColumn(QRectF rect, const QList<QGraphicsItem *> &patchItems,
                                                         int letterIndex)
    : m_rect(rect), m_letterIndex(letterIndex), m_patchItems(patchItems)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
}

QRectF CVCHandyChartGraphicsColumn::boundingRect() const
{
    return m_rect;
}

void CVCHandyChartGraphicsColumn::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QPen saved = painter->pen();
    painter->fillRect(m_rect, Qt::black);
    QPen text = saved;
    text.setColor(Qt::white);
    painter->setPen(text);
    // Past the 26th column the letters run on into the characters after "Z".
    painter->drawText(m_rect, Qt::AlignHCenter | Qt::AlignVCenter, QString(QChar(ushort('A' + m_letterIndex))));
    painter->setPen(saved);
}

void CVCHandyChartGraphicsColumn::SetNextItem(QGraphicsItem *column)
{
    m_nextItem = column;
}

void CVCHandyChartGraphicsColumn::SelectNextItem(QList<QGraphicsItem *> listItem)
{
    if (!m_nextItem || !listItem.contains(this))
        return;
    setSelected(false);
    m_nextItem->setSelected(true);
}

QVariant CVCHandyChartGraphicsColumn::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        QList<TanoSDK_PatchPosition *> positions;
        const bool selected = value.toBool();
        if (selected) {
            for (QGraphicsItem *item : qAsConst(m_patchItems)) {
                auto *patch = dynamic_cast<CVCGraphicsPatch *>(item);
                if (!patch)
                    continue;
                auto *position = new TanoSDK_PatchPosition;
                patch->GetIndices(&position->area, &position->row, &position->column);
                positions << position;
            }
            QRectF outline = m_rect;
            if (!m_patchItems.isEmpty())
                outline.setBottom(m_patchItems.last()->sceneBoundingRect().bottom());
            // A child of the header, so it goes with the column when the scene is cleared.
            delete m_highlight;
            m_highlight = new QGraphicsRectItem(outline, this);
            m_highlight->setPen(QPen(QBrush(Qt::red), 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            m_highlight->setBrush(Qt::NoBrush);
            QPen pen = m_highlight->pen();
            pen.setCosmetic(true);
            m_highlight->setPen(pen);
            // Clicks inside the outline belong to the patches beneath it.
            m_highlight->setAcceptedMouseButtons(Qt::NoButton);
        } else {
            delete m_highlight;
            m_highlight = nullptr;
        }
        emit SetPatchPosition(positions);
        if (!isSignalConnected(QMetaMethod::fromSignal(&CVCHandyChartGraphicsColumn::SetPatchPosition))) {
            qDeleteAll(positions);
            positions.clear();
        }
        if (selected)
            emit SetScanMode(true);
        setZValue(selected ? 0.1 : 0.0);
    }
    return QGraphicsObject::itemChange(change, value);
}
