#include "chart/vcgraphicsview.h"

#include "app/unithelpers.h"
#include "chart/vcgraphicspatch.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

int PhysicalDpi(bool horizontal)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    return int(std::lround(horizontal ? screen->physicalDotsPerInchX() : screen->physicalDotsPerInchY()));
}

} // namespace

CVCGraphicsView::CVCGraphicsView(QGraphicsScene *scene, QWidget *parent)
    : QGraphicsView(scene, parent), m_dpiX(PhysicalDpi(true)), m_dpiY(PhysicalDpi(false))
{
    setBackgroundBrush(QBrush(Qt::darkGray, Qt::SolidPattern));
    connect(this, &CVCGraphicsView::SetPatchColor, this, &CVCGraphicsView::dispatchPatchColor);
}

void CVCGraphicsView::SetResolution(int dpiX, int dpiY)
{
    m_dpiX = dpiX;
    m_dpiY = dpiY;
}

double CVCGraphicsView::PixelsX(int v) const
{
    return UnitFixedToPixels(kUnitMm, v, m_dpiX);
}

double CVCGraphicsView::PixelsY(int v) const
{
    return UnitFixedToPixels(kUnitMm, v, m_dpiY);
}

void CVCGraphicsView::DrawSheet(const ChartDefinitionData::Sheet *sheet, int imageWidth, int imageHeight,
                                int bitsPerPixel, const uchar *imageBytes)
{
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();
    Reset();
    if (!sheet || !scene())
        return;

    const double w = PixelsX(sheet->Width);
    const double h = PixelsY(sheet->Height);
    QGraphicsRectItem *paper = scene()->addRect(0, 0, w, h, QPen(Qt::white), QBrush(Qt::white, Qt::SolidPattern));
    setSceneRect(paper->boundingRect());

    const bool drawsImage = imageBytes && imageWidth > 0 && imageHeight > 0 && bitsPerPixel == 8;
    if (drawsImage) {
        // One grey byte per pixel, rows not padded.
        const QImage grey(imageBytes, imageWidth, imageHeight, imageWidth, QImage::Format_Grayscale8);
        const QImage scaled = grey.scaled(int(w), int(h), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!scaled.isNull())
            scene()->addPixmap(QPixmap::fromImage(scaled));
    }

    if (sheet->Width > 800 && sheet->Height > 3300)
        DrawMarginFrame(0, 0, w, h);
    DrawMarks(sheet);
    DrawAreas(sheet);
    DrawPatches(sheet, drawsImage);

    verticalScrollBar()->setValue(vertical);
    horizontalScrollBar()->setValue(horizontal);
}

void CVCGraphicsView::DrawMarginFrame(qreal, qreal, qreal, qreal)
{
}

void CVCGraphicsView::DrawMarks(const ChartDefinitionData::Sheet *)
{
}

void CVCGraphicsView::DrawAreas(const ChartDefinitionData::Sheet *)
{
}

void CVCGraphicsView::DrawPatches(const ChartDefinitionData::Sheet *, bool)
{
}

int CVCGraphicsView::GetFitZoom() const
{
    const QRectF rect = sceneRect();
    if (!scene() || scene()->items().isEmpty() || rect.width() <= 0 || rect.height() <= 0)
        return 100;
    const double fit = std::min((height() - 10) / rect.height(), (width() - 10) / rect.width()) * 100;
    return int(fit);
}

void CVCGraphicsView::AddMarginFrame(qreal x, qreal y, qreal width, qreal height)
{
    if (!scene())
        return;
    QPen pen(QBrush(Qt::darkGreen, Qt::SolidPattern), 2.0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    scene()->addRect(x + PixelsX(400), y, width - PixelsX(800), height - PixelsY(3300), pen, Qt::NoBrush);
}

void CVCGraphicsView::SetInkColorList(const InkChannelList &inks)
{
    m_inks = inks;
}

void CVCGraphicsView::ShowPatchColors(const MeasurementData *measurement)
{
    if (!measurement || measurement->RecordCount < 1 || measurement->MeasuredCount < 1 || !measurement->Records) {
        emit ClearPatchColor();
        return;
    }
    const MeasurementData::PatchData *records = measurement->Records.get();
    const int count = measurement->RecordCount;
    const bool anyMeasured =
        std::any_of(records, records + count, [](const MeasurementData::PatchData &r) { return r.ColorFormat != 0; });
    if (anyMeasured)
        emit ClearPatchColor();
    for (int i = 0; i < count; ++i) {
        const MeasurementData::PatchData &record = records[i];
        if (record.ColorFormat == 0)
            continue;
        ChartDefinitionData::PatchColor patch;
        patch.ID = record.ID;
        patch.Area = record.Area;
        patch.Row = record.Row;
        patch.Column = record.Column;
        patch.ColorFormat = record.ColorFormat;
        const int used = std::clamp(record.ColorFormat + 2, 0, kMaxColorValueCount);
        std::copy(record.ColorValue, record.ColorValue + used, patch.ColorValue);
        emit SetPatchColor(patch);
    }
}

void CVCGraphicsView::Reset()
{
    m_patchIndex.clear();
    if (!scene())
        return;
    QGraphicsRectItem *origin = scene()->addRect(0, 0, 0, 0);
    setSceneRect(origin->boundingRect());
    scene()->clear();
}

void CVCGraphicsView::SetZoom(int zoom)
{
    setTransform(QTransform::fromScale(zoom / 100.0, zoom / 100.0));
}

void CVCGraphicsView::paintEvent(QPaintEvent *event)
{
    QGraphicsView::paintEvent(event);
    emit PaintFinished();
}

void CVCGraphicsView::ConnectPatchItem(CVCGraphicsPatch *item)
{
    int area = 0, row = 0, column = 0;
    item->GetIndices(&area, &row, &column);
    m_patchIndex.insert(PatchPosition{area, row, column}, item);
    connect(this, &CVCGraphicsView::ClearPatchColor, item, &CVCGraphicsPatch::ClearPatchColor);
    connect(this, &CVCGraphicsView::SetDisplay, item, &CVCGraphicsPatch::SetDisplay);
    connect(item, &CVCGraphicsPatch::SelectPatch, this, &CVCGraphicsView::SelectPatch);
    connect(item, &CVCGraphicsPatch::ClearPatch, this, &CVCGraphicsView::ClearPatch);
}

QList<CVCGraphicsPatch *> CVCGraphicsView::PatchItemsAt(const PatchPosition &position) const
{
    QList<CVCGraphicsPatch *> items;
    for (auto it = m_patchIndex.constFind(position); it != m_patchIndex.constEnd() && it.key() == position; ++it) {
        if (it.value())
            items.prepend(it.value());
    }
    return items;
}

QHash<PatchPosition, int> CVCGraphicsView::FirstRecordIndex(const ChartDefinitionData::Sheet *sheet)
{
    QHash<PatchPosition, int> first;
    if (!sheet || !sheet->Patches)
        return first;
    for (int i = 0; i < sheet->PatchCount; ++i) {
        const ChartDefinitionData::PatchColor &p = sheet->Patches[i];
        const PatchPosition position{p.Area, p.Row, p.Column};
        if (!first.contains(position))
            first.insert(position, i);
    }
    return first;
}

int CVCGraphicsView::WalkedAreaCount(int areaCount)
{
    return std::clamp(areaCount, 0, kMaxAreaCount);
}

void CVCGraphicsView::dispatchPatchColor(const ChartDefinitionData::PatchColor &patchColor)
{
    for (CVCGraphicsPatch *item : PatchItemsAt(PatchPosition{patchColor.Area, patchColor.Row, patchColor.Column}))
        item->SetPatchColor(patchColor);
}

void CVCGraphicsView::DeleteOwnScene()
{
    QGraphicsScene *own = scene();
    if (!own || own->parent() != this)
        return;
    own->disconnect(this);
    delete own;
}
