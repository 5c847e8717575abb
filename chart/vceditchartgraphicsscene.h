#pragma once
// The scene of the chart editing view: a left-button drag moves a patch area or the QR-code block, or, started
// over an area's bottom-right 2 mm square, resizes the area. Each step of a drag is reported as a live offset in
// scene pixels, the end as an offset in 0.01 mm. No snapping and no limits: those belong to the receivers.
//
// Items a drag can grab carry an int under Qt::UserRole: -1 the QR-code item, i >= 0 the rectangle of area i.

#include <QGraphicsScene>
#include <QPointF>
#include <QSize>
#include <QSizeF>

class CVCEditChartGraphicsScene : public QGraphicsScene
{
    Q_OBJECT
public:
    enum DragMode { DragNone = 0, DragMove = 1, DragResize = 2 };
    static constexpr int kNoTarget = -2;
    static constexpr int kBarcodeTarget = -1;

    explicit CVCEditChartGraphicsScene(QObject *parent = nullptr);
    ~CVCEditChartGraphicsScene() override;

    int ResolutionX() const { return m_dpiX; }
    int ResolutionY() const { return m_dpiY; }
    int GetDragMode() const { return m_dragMode; }
    int GetDragTarget() const { return m_dragTarget; }

    // Pops the override cursor this scene pushed, if it still holds one. The view calls it when the pointer
    // leaves, when it is hidden and when it goes, so the program never keeps a drag cursor.
    void ReleaseOverrideCursor();

signals:
    void AreaDragMoved(int areaNo, QSizeF size);
    void AreaMoved(int areaNo, QSize size);
    void AreaDragResized(int areaNo, QSizeF size);
    void AreaResized(int areaNo, QSize size);
    void BarcodeDragMoved(QSizeF size);
    void BarcodeMoved(QSize size);

protected:
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    void hover(const QPointF &position);
    void dragTo(const QPointF &position);
    void release(const QPointF &position);
    // The topmost item at the point tagged as the barcode (barcode true) or as an area.
    QGraphicsItem *taggedItemAt(const QPointF &position, bool barcode) const;
    void pushCursor(Qt::CursorShape shape);

    int m_dpiX = 0;
    int m_dpiY = 0;
    int m_dragMode = DragNone;
    int m_dragTarget = kNoTarget;
    QPointF m_pressPosition;
    bool m_cursorPushed = false;
};
