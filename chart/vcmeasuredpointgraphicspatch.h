#pragma once
// A measured point on a captured page: a filled dot, red, yellow while selected.

#include "chart/vcgraphicspatch.h"

class CVCMeasuredPointGraphicsPatch : public CVCGraphicsPatch
{
    Q_OBJECT
public:
    CVCMeasuredPointGraphicsPatch(qreal centreX, qreal centreY, qreal radiusX, qreal radiusY, int area, int row,
                                  int column);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;
};
