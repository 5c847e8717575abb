#include "chart/vcmeasuredpointgraphicsview.h"

#include "app/recordhelpers.h"
#include "chart/vcmeasuredpointgraphicspatch.h"

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

constexpr qreal kMarkerRadius = 2.5;

// Image pixels at the scan resolution in view pixels; 64 bits, so a large scan cannot overflow.
int PageLength(int viewDpi, int imagePixels, int scanDpi)
{
    if (viewDpi <= 0 || imagePixels <= 0 || scanDpi <= 0)
        return 0;
    return int(std::min<qint64>(qint64(viewDpi) * imagePixels / scanDpi, INT_MAX));
}

} // namespace

CVCMeasuredPointGraphicsView::CVCMeasuredPointGraphicsView(QWidget *parent)
    : CVCGraphicsView(new QGraphicsScene, parent)
{
    scene()->setParent(this);
}

CVCMeasuredPointGraphicsView::~CVCMeasuredPointGraphicsView()
{
    DeleteOwnScene();
}

bool CVCMeasuredPointGraphicsView::HasItems() const
{
    return scene() && !scene()->items().isEmpty();
}

void CVCMeasuredPointGraphicsView::DrawMeasurement(const MeasurementData *m)
{
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();
    Reset();
    if (!m || !scene())
        return;

    const int scanDpi = ImageDpiOrDefault(m->ImageDPI);
    int w = PageLength(ResolutionX(), m->Width, scanDpi);
    int h = PageLength(ResolutionY(), m->Height, scanDpi);
    // A page without width or without height has no area at all.
    if (w == 0 || h == 0)
        w = h = 0;
    QGraphicsRectItem *page = scene()->addRect(0, 0, w, h);
    setSceneRect(page->boundingRect());

    if (m->ImageBytes && m->Width > 0 && m->Height > 0 && m->BitPerPixel == 8 && w > 0 && h > 0) {
        // One grey byte per pixel, rows not padded.
        const QImage grey(m->ImageBytes.get(), m->Width, m->Height, m->Width, QImage::Format_Grayscale8);
        const QImage scaled = grey.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!scaled.isNull())
            scene()->addPixmap(QPixmap::fromImage(scaled));
    }

    DrawMarginFrame(0, 0, w, h);
    DrawMeasuredPoints(m);

    verticalScrollBar()->setValue(vertical);
    horizontalScrollBar()->setValue(horizontal);
}

void CVCMeasuredPointGraphicsView::DrawMeasuredPoints(const MeasurementData *m)
{
    if (!m || m->RecordCount < 1 || !m->Records || !scene())
        return;
    for (int i = 0; i < m->RecordCount; ++i) {
        const MeasurementData::PatchData &record = m->Records[i];
        scene()->addItem(new CVCMeasuredPointGraphicsPatch(PixelsX(record.X), PixelsY(record.Y), kMarkerRadius,
                                                           kMarkerRadius, record.Area, record.Row, record.Column));
    }
}
