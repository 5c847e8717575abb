#include "chart/vceditmeasuredpointgraphicsview.h"

#include "chart/vcmeasuredpointgraphicspatch.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>

#include <algorithm>

CVCEditMeasuredPointGraphicsView::CVCEditMeasuredPointGraphicsView(QWidget *parent)
    : CVCMeasuredPointGraphicsView(parent)
{
    setDragMode(QGraphicsView::RubberBandDrag);
}

void CVCEditMeasuredPointGraphicsView::ClearSelectionRects()
{
    if (scene()) {
        const QList<QGraphicsItem *> items = scene()->items();
        for (QGraphicsItem *item : items) {
            if (item->type() == QGraphicsPathItem::Type)
                delete item;
        }
    }
    m_selectionRects.clear();
}

bool CVCEditMeasuredPointGraphicsView::IntersectsSelectionRects(const QPainterPath &path) const
{
    const QRectF bounds = path.boundingRect();
    return std::any_of(m_selectionRects.cbegin(), m_selectionRects.cend(),
                       [&bounds](const QRectF &rect) { return rect.intersects(bounds); });
}

void CVCEditMeasuredPointGraphicsView::DrawMarginFrame(qreal x, qreal y, qreal width, qreal height)
{
    AddMarginFrame(x, y, width, height);
    CVCMeasuredPointGraphicsView::DrawMarginFrame(x, y, width, height);
}

void CVCEditMeasuredPointGraphicsView::DrawMeasuredPoints(const MeasurementData *m)
{
    CVCMeasuredPointGraphicsView::DrawMeasuredPoints(m);
    if (!scene())
        return;
    const QList<QGraphicsItem *> items = scene()->items();
    for (QGraphicsItem *item : items) {
        if (dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item)) {
            item->setFlag(QGraphicsItem::ItemIsSelectable);
            item->setAcceptHoverEvents(true);
        }
    }
}

void CVCEditMeasuredPointGraphicsView::mousePressEvent(QMouseEvent *event)
{
    CVCMeasuredPointGraphicsView::mousePressEvent(event);
    if (dragMode() != QGraphicsView::RubberBandDrag || event->buttons() != Qt::LeftButton)
        return;
    m_rectTaken = false;
    viewport()->update();
    if (!m_controlHeld) {
        ClearSelectionRects();
        emit rectSelectedClear();
    }
    m_pressX = event->pos().x();
    m_pressY = event->pos().y();
}

void CVCEditMeasuredPointGraphicsView::mouseReleaseEvent(QMouseEvent *event)
{
    CVCMeasuredPointGraphicsView::mouseReleaseEvent(event);
    if (dragMode() != QGraphicsView::RubberBandDrag || m_rectTaken || !scene())
        return;
    if (event->pos().x() == m_pressX || event->pos().y() == m_pressY)
        return;

    // The band's last selection area stays on the scene after the base handler has ended the drag.
    const QPainterPath path = scene()->selectionArea();
    const QRectF bounds = path.boundingRect();
    if (!sceneRect().contains(bounds) || IntersectsSelectionRects(path))
        return;

    m_rectTaken = true;
    QPen pen(Qt::blue);
    pen.setCosmetic(true);
    if (m_selectionRects.isEmpty()) {
        m_selectionRects.append(bounds);
        scene()->addPath(path, pen, Qt::NoBrush);
        emit rectSelectedSingle();
    } else if (m_controlHeld && m_selectionRects.size() < kMaxSelectionRects) {
        m_selectionRects.append(bounds);
        scene()->addPath(path, pen, Qt::NoBrush);
        emit rectSelectedMulti();
    }
}

void CVCEditMeasuredPointGraphicsView::keyPressEvent(QKeyEvent *event)
{
    CVCMeasuredPointGraphicsView::keyPressEvent(event);
    if (event->key() == Qt::Key_Control)
        m_controlHeld = true;
}

void CVCEditMeasuredPointGraphicsView::keyReleaseEvent(QKeyEvent *event)
{
    CVCMeasuredPointGraphicsView::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Control)
        m_controlHeld = false;
}
