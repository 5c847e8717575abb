#pragma once
// The QR-code block of the chart editing view: follows the live offset of a drag so it moves under the pointer.

#include "chart/vcchartgraphicsbarcode.h"

#include <QSizeF>

class CVCEditChartGraphicsBarcode : public CVCChartGraphicsBarcode
{
    Q_OBJECT
public:
    CVCEditChartGraphicsBarcode(qreal x, qreal y, qreal width, qreal height, qreal marginWidth, qreal marginHeight);

    // The chart barcode's rectangle moved by the live offset.
    QRectF boundingRect() const override;

public slots:
    void BarcodeDragMoved(QSizeF size);

private:
    double m_offsetX = 0;
    double m_offsetY = 0;
};
