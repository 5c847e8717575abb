#pragma once
// The QR-code picture of a chart page inside its white margin. Tagged -1 under Qt::UserRole by the view that
// adds it, so the view finds it again.

#include <QGraphicsObject>
#include <QImage>

class CVCChartGraphicsBarcode : public QGraphicsObject
{
    Q_OBJECT
public:
    // Scene pixels; the code sits margin right and down from (x, y).
    CVCChartGraphicsBarcode(qreal x, qreal y, qreal width, qreal height, qreal marginWidth, qreal marginHeight);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

private:
    qreal m_x;
    qreal m_y;
    qreal m_width;
    qreal m_height;
    qreal m_marginWidth;
    qreal m_marginHeight;
    // Loaded and scaled once: a repaint must not decode the picture again. Null when the picture is missing.
    QImage m_picture;
};
