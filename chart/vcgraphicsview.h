#pragma once
// The base of every view that draws a chart sheet or a captured page: lengths in 0.01 mm to screen pixels at
// the desktop's physical resolution, the zoom, one sheet drawn in a fixed order of virtual steps, and the relay
// signals through which a window reaches the patch items.

#include "app/constants.h"
#include "app/records.h"

#include <QGraphicsView>
#include <QHash>
#include <QList>
#include <QPointer>

class CVCGraphicsPatch;

// A patch's place in its sheet: area number, row, column.
struct PatchPosition {
    int area = 0;
    int row = 0;
    int column = 0;
};
inline bool operator==(const PatchPosition &a, const PatchPosition &b)
{
    return a.area == b.area && a.row == b.row && a.column == b.column;
}
inline uint qHash(const PatchPosition &p, uint seed = 0)
{
    return qHash((quint64(quint32(p.area)) << 42) ^ (quint64(quint32(p.row)) << 21) ^ quint64(quint32(p.column)),
                 seed);
}

class CVCGraphicsView : public QGraphicsView
{
    Q_OBJECT
public:
    // The scene stays the caller's; a subclass that makes its own scene parents it to itself.
    CVCGraphicsView(QGraphicsScene *scene, QWidget *parent = nullptr);

    virtual void SetResolution(int dpiX, int dpiY);
    // A null sheet leaves an empty scene. The page image is drawn only for 8 bits per pixel with a positive size.
    virtual void DrawSheet(const ChartDefinitionData::Sheet *sheet, int imageWidth, int imageHeight,
                           int bitsPerPixel, const uchar *imageBytes);
    virtual void DrawMarginFrame(qreal x, qreal y, qreal width, qreal height);
    virtual void DrawMarks(const ChartDefinitionData::Sheet *sheet);
    virtual void DrawAreas(const ChartDefinitionData::Sheet *sheet);
    virtual void DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage);

    int ResolutionX() const { return m_dpiX; }
    int ResolutionY() const { return m_dpiY; }
    // A length in 0.01 mm in scene pixels, horizontally and vertically.
    double PixelsX(int v) const;
    double PixelsY(int v) const;

    // The zoom in percent at which the scene rectangle fits the view, 10 pixels to spare.
    int GetFitZoom() const;
    void AddMarginFrame(qreal x, qreal y, qreal width, qreal height);
    void SetInkColorList(const InkChannelList &inks);
    const InkChannelList &InkColorList() const { return m_inks; }
    // Applies a page's measured records to the patch items through the relays; without records clears them.
    void ShowPatchColors(const MeasurementData *measurement);

signals:
    void SetPatchColor(ChartDefinitionData::PatchColor patchColor);
    void ClearPatchColor();
    void SetDisplay(int display);
    void SelectPatch(int area, int row, int column);
    void ClearPatch();
    void PaintFinished();

public slots:
    void Reset();
    void SetZoom(int zoom);

protected:
    void paintEvent(QPaintEvent *event) override;

    // A view that made its own scene calls this first in its destructor: left to the QObject children, the
    // scene would go after the view's slots, while removing a selected item still reports to them.
    void DeleteOwnScene();

    // Indexes a patch item by its position and wires the relays to it. SetPatchColor reaches only the items
    // indexed at the record's position, so applying a page stays linear in its records.
    void ConnectPatchItem(CVCGraphicsPatch *item);
    QList<CVCGraphicsPatch *> PatchItemsAt(const PatchPosition &position) const;
    // The first record of the sheet at each position, by index into its records.
    static QHash<PatchPosition, int> FirstRecordIndex(const ChartDefinitionData::Sheet *sheet);
    // The area slots a view walks: the count, bounded to 0..the largest sheet.
    static int WalkedAreaCount(int areaCount);

private:
    void dispatchPatchColor(const ChartDefinitionData::PatchColor &patchColor);

    int m_dpiX = 0;
    int m_dpiY = 0;
    InkChannelList m_inks;
    QMultiHash<PatchPosition, QPointer<CVCGraphicsPatch>> m_patchIndex;
};
