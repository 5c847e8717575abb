#pragma once
// The chart editing view of the chart editor and the layout dialog: the chart layout view on a scene through
// which the user drags patch areas and the QR-code block and resizes areas. The scene's drag signals are passed
// on as the view's own, so the dialogs connect to the view only.

#include "chart/vcchartgraphicsview.h"

#include <QSize>
#include <QSizeF>

class CVCEditChartGraphicsScene;

class CVCEditChartGraphicsView : public CVCChartGraphicsView
{
    Q_OBJECT
public:
    explicit CVCEditChartGraphicsView(QWidget *parent = nullptr);
    ~CVCEditChartGraphicsView() override;

    CVCEditChartGraphicsScene *EditScene() const;

    // The topmost selected patch's position; false, the outputs untouched, when none is selected.
    bool GetSelectedPatch(int *area, int *row, int *column) const;

    void DrawMarginFrame(qreal x, qreal y, qreal width, qreal height) override;
    // One invisible rectangle per area covering its whole grid, tagged with the area index.
    void DrawAreas(const ChartDefinitionData::Sheet *sheet) override;
    // As the chart view's, with editing patches that follow the drags; the display state is left as it is.
    void DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage) override;
    void DrawBarcode(const int *barcodeRect) override;

signals:
    void AreaDragMoved(int areaNo, QSizeF size);
    void AreaMoved(int areaNo, QSize size);
    void AreaDragResized(int areaNo, QSizeF size);
    void AreaResized(int areaNo, QSize size);
    void BarcodeDragMoved(QSizeF size);
    void BarcodeMoved(QSize size);

protected:
    CVCChartGraphicsPatch *MakePatchItem(const QRectF &rect, int rowCount, int columnCount,
                                         const ChartDefinitionData::PatchColor &record, int fontPointSize,
                                         bool showsPageImage) override;
    // Each gives back the drag cursor the scene may hold.
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void releaseCursor();
};
