#include "chart/vceditchartgraphicsscene.h"

#include "app/constants.h"
#include "app/unithelpers.h"

#include <QCursor>
#include <QGraphicsItem>
#include <QGraphicsSceneMouseEvent>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

// The side of the resize square at an area's bottom-right corner, 0.01 mm.
constexpr int kHandleSize = 200;
// A release this close to the press is a click, not a drag.
constexpr double kClickTolerance = 1e-12;

// The same physical resolution the views use, so scene pixels and view pixels agree.
int PhysicalDpi(bool horizontal)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    return int(std::lround(horizontal ? screen->physicalDotsPerInchX() : screen->physicalDotsPerInchY()));
}

// Only an int tag counts: patches and the sheet carry none.
bool ReadTag(const QGraphicsItem *item, int *tag)
{
    const QVariant data = item->data(Qt::UserRole);
    if (data.userType() != QMetaType::Int)
        return false;
    *tag = data.toInt();
    return true;
}

} // namespace

CVCEditChartGraphicsScene::CVCEditChartGraphicsScene(QObject *parent)
    : QGraphicsScene(parent), m_dpiX(PhysicalDpi(true)), m_dpiY(PhysicalDpi(false))
{
}

CVCEditChartGraphicsScene::~CVCEditChartGraphicsScene()
{
    ReleaseOverrideCursor();
}

void CVCEditChartGraphicsScene::ReleaseOverrideCursor()
{
    if (!m_cursorPushed)
        return;
    m_cursorPushed = false;
    QGuiApplication::restoreOverrideCursor();
}

void CVCEditChartGraphicsScene::pushCursor(Qt::CursorShape shape)
{
    ReleaseOverrideCursor();
    QGuiApplication::setOverrideCursor(QCursor(shape));
    m_cursorPushed = true;
}

QGraphicsItem *CVCEditChartGraphicsScene::taggedItemAt(const QPointF &position, bool barcode) const
{
    for (QGraphicsItem *item : items(position, Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        int tag = 0;
        if (!ReadTag(item, &tag))
            continue;
        if (barcode ? tag == kBarcodeTarget : tag >= 0)
            return item;
    }
    return nullptr;
}

void CVCEditChartGraphicsScene::hover(const QPointF &position)
{
    m_dragMode = DragNone;
    // Only the topmost area decides, even when an area beneath has its square here.
    if (const QGraphicsItem *area = taggedItemAt(position, false)) {
        const QRectF bounds = area->sceneBoundingRect();
        const double w = UnitFixedToPixels(kUnitMm, kHandleSize, m_dpiX);
        const double h = UnitFixedToPixels(kUnitMm, kHandleSize, m_dpiY);
        const QRectF handle(bounds.right() - w, bounds.bottom() - h, w, h);
        if (handle.contains(position))
            m_dragMode = DragResize;
    }
    ReleaseOverrideCursor();
    if (m_dragMode == DragResize)
        pushCursor(Qt::SizeFDiagCursor);
}

void CVCEditChartGraphicsScene::dragTo(const QPointF &position)
{
    const QPointF d = position - m_pressPosition;
    const QSizeF offset(d.x(), d.y());
    if (m_dragMode == DragMove) {
        if (m_dragTarget == kBarcodeTarget)
            emit BarcodeDragMoved(offset);
        else if (m_dragTarget >= 0)
            emit AreaDragMoved(m_dragTarget, offset);
        update();
        pushCursor(Qt::SizeAllCursor);
    } else if (m_dragMode == DragResize) {
        // A barcode grabbed from over a resize square has no size to change: nothing is reported.
        if (m_dragTarget >= 0)
            emit AreaDragResized(m_dragTarget, offset);
        update();
        pushCursor(Qt::SizeFDiagCursor);
    } else {
        ReleaseOverrideCursor();
    }
}

void CVCEditChartGraphicsScene::release(const QPointF &position)
{
    const QPointF d = position - m_pressPosition;
    if (std::abs(d.x()) <= kClickTolerance && std::abs(d.y()) <= kClickTolerance) {
        m_dragTarget = kNoTarget;
    } else {
        const QSize offset(PixelsToUnitFixed(kUnitMm, d.x(), m_dpiX), PixelsToUnitFixed(kUnitMm, d.y(), m_dpiY));
        if (m_dragMode == DragMove) {
            if (m_dragTarget == kBarcodeTarget)
                emit BarcodeMoved(offset);
            else if (m_dragTarget >= 0)
                emit AreaMoved(m_dragTarget, offset);
        } else if (m_dragMode == DragResize && m_dragTarget >= 0) {
            emit AreaResized(m_dragTarget, offset);
        }
    }
    ReleaseOverrideCursor();
    // The mode stays: the next hover or press sets it again.
    m_dragTarget = kNoTarget;
}

void CVCEditChartGraphicsScene::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton)
        hover(event->scenePos());
    else if (event->buttons() == Qt::LeftButton)
        dragTo(event->scenePos());
    QGraphicsScene::mouseMoveEvent(event);
}

void CVCEditChartGraphicsScene::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton) {
        const int hovered = m_dragMode;
        m_dragMode = DragNone;
        // The barcode wins over any area beneath or above it.
        int tag = 0;
        const QGraphicsItem *target = taggedItemAt(event->scenePos(), true);
        if (!target)
            target = taggedItemAt(event->scenePos(), false);
        if (target && ReadTag(target, &tag)) {
            m_dragTarget = tag;
            m_dragMode = hovered == DragNone ? int(DragMove) : hovered;
            m_pressPosition = event->scenePos();
        }
    }
    QGraphicsScene::mousePressEvent(event);
}

void CVCEditChartGraphicsScene::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        release(event->scenePos());
    QGraphicsScene::mouseReleaseEvent(event);
}
