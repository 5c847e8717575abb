#pragma once
// Pixel probes of rendered scenes and items, and a patch record builder, for the view tests.

#include "app/records.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace viewprobe {

constexpr QRgb kBackground = 0xff404040;

// An RGB patch record at a grid position.
inline ChartDefinitionData::PatchColor Rgb(int id, int area, int row, int column, float r = 0, float g = 0,
                                           float b = 255)
{
    ChartDefinitionData::PatchColor p;
    p.ID = id;
    p.Area = area;
    p.Row = row;
    p.Column = column;
    p.ColorFormat = ChartDefinitionData::FormatRGB;
    p.ColorValue[0] = r;
    p.ColorValue[1] = g;
    p.ColorValue[2] = b;
    return p;
}

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
