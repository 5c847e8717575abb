#pragma once
// The chart layout view: one sheet of a chart definition with a patch item per defined patch at its place in
// its area's grid, and the QR code when the chart carries one. The chart canvas of the windows and the base of
// the editing and density views.

#include "chart/vcsinglegraphicsview.h"

class CVCChartGraphicsPatch;

class CVCChartGraphicsView : public CVCSingleGraphicsView
{
    Q_OBJECT
public:
    // Makes its own scene, owned by the view; barcode inset 0.
    explicit CVCChartGraphicsView(QWidget *parent = nullptr);
    // For subclasses that bring their own scene; they set the inset.
    CVCChartGraphicsView(QGraphicsScene *scene, QWidget *parent);
    ~CVCChartGraphicsView() override;

    void DrawSheet(const ChartDefinitionData::Sheet *sheet, int imageWidth, int imageHeight, int bitsPerPixel,
                   const uchar *imageBytes) override;
    void DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage) override;
    // barcodeRect: the sheet's BarcodeLeftTopX, BarcodeLeftTopY, BarcodeWidth, BarcodeHeight (0.01 mm).
    virtual void DrawBarcode(const int *barcodeRect);

    void SetBarcodeInset(int inset) { m_barcodeInset = inset; }
    int BarcodeInset() const { return m_barcodeInset; }
    // Takes the QR-code item (tagged -1) out of the scene and leaves every other item.
    void RemoveBarcodeItem();
    // The smallest patch-number point size over the sheet's records, 99 without records. Each record's is the
    // first size from the base size - 4 up at which its number no longer fits its patch (base + 4 if it always
    // fits).
    int FitFontPointSize(const ChartDefinitionData::Sheet *sheet) const;

    QPointF BarcodeOriginPixels(const int *barcodeRect) const;
    QSizeF BarcodeMarginPixels() const;
    QSizeF BarcodeSizePixels(const int *barcodeRect) const;

protected:
    // The item of one grid cell; the editing view makes its own kind.
    virtual CVCChartGraphicsPatch *MakePatchItem(const QRectF &rect, int rowCount, int columnCount,
                                                 const ChartDefinitionData::PatchColor &record, int fontPointSize,
                                                 bool showsPageImage);
    // One item for each grid cell that has a record, made from the first record at that cell.
    void AddPatchItems(const ChartDefinitionData::Sheet *sheet, bool showsPageImage);

signals:
    void SetFontPointSize(int fontPointSize);
    void SetDuplicated(int areaNo, int rowNo, int columnNo, bool isDuplicated);
    void SetSelected(int areaNo, int rowNo, int columnNo);
    void ClearSelected();

private:
    void dispatchDuplicated(int areaNo, int rowNo, int columnNo, bool isDuplicated);
    void dispatchSelected(int areaNo, int rowNo, int columnNo);

    int m_barcodeInset = 0;
};
