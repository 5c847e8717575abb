#include "chart/vcchartgraphicsbarcode.h"

#include "app/helpers.h"

#include <QPainter>

CVCChartGraphicsBarcode::CVCChartGraphicsBarcode(qreal x, qreal y, qreal width, qreal height, qreal marginWidth,
                                                 qreal marginHeight)
    : m_x(x), m_y(y), m_width(width), m_height(height), m_marginWidth(marginWidth), m_marginHeight(marginHeight)
{
    const QImage loaded(QStringLiteral(":/CVaremo/Resource/") + BarcodeImageFileName(), "TIFF");
    const int w = qRound(m_width);
    const int h = qRound(m_height);
    if (!loaded.isNull() && w > 0 && h > 0)
        m_picture = loaded.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QRectF CVCChartGraphicsBarcode::boundingRect() const
{
    return QRectF(m_x, m_y, m_width + 2 * m_marginWidth, m_height + 2 * m_marginHeight);
}

void CVCChartGraphicsBarcode::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF r = boundingRect();
    painter->fillRect(r, QBrush(Qt::white, Qt::SolidPattern));
    if (!m_picture.isNull())
        painter->drawImage(QPointF(r.x() + m_marginWidth, r.y() + m_marginHeight), m_picture,
                           QRectF(0, 0, m_width, m_height));
}
