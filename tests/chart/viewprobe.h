#pragma once
// Pixel probes of rendered scenes and items for the view tests.

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace viewprobe {

constexpr QRgb kBackground = 0xff404040;

// The scene rectangle drawn 1:1 into an image of its size (no antialiasing).
inline QImage RenderScene(QGraphicsScene *scene, const QRectF &source)
{
    QImage image(source.size().toSize(), QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    scene->render(&painter, QRectF(QPointF(0, 0), source.size()), source);
    return image;
}

// The item painted alone, its bounding rectangle's origin at (margin, margin).
inline QImage RenderItem(QGraphicsItem *item, bool selected, int margin = 5)
{
    const QRectF bounds = item->boundingRect();
    QImage image(bounds.size().toSize() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.translate(margin - bounds.x(), margin - bounds.y());
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    item->paint(&painter, &option, nullptr);
    return image;
}

} // namespace viewprobe
