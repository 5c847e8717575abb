#pragma once
// Probes for the graphics-view tests: scenes and items rendered to images for pixel reads, lengths in 0.01 mm at
// a view's own resolution, a patch record builder, and mouse events sent to a scene or to a view's viewport.

#include "app/records.h"

#include <QEvent>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <memory>

class QGraphicsView;

namespace viewprobe {

constexpr QRgb kBackground = 0xff404040;

// An RGB patch record at a grid position.
inline ChartDefinitionData::PatchColor Rgb(int id, int area, int row, int column, float r = 0, float g = 0,
                                           float b = 255)
{
    ChartDefinitionData::PatchColor p;
    p.ID = id;
    p.Area = area;
    p.Row = row;
    p.Column = column;
    p.ColorFormat = ChartDefinitionData::FormatRGB;
    p.ColorValue[0] = r;
    p.ColorValue[1] = g;
    p.ColorValue[2] = b;
    return p;
}

// A length in 0.01 mm in pixels at dpi, computed here rather than by the view under test.
inline double Pixels(int v, int dpi)
{
    return v * dpi / 2540.0;
}

// Lengths at one view's actual resolution, horizontally and vertically: the desktop's resolution differs
// between platforms, so tests read it from the view (anything with ResolutionX / ResolutionY) and never assume one.
struct Scale {
    int dpiX;
    int dpiY;
    double X(int v) const { return Pixels(v, dpiX); }
    double Y(int v) const { return Pixels(v, dpiY); }
};
template <typename View>
Scale ScaleOf(const View &view)
{
    return {view.ResolutionX(), view.ResolutionY()};
}
template <typename View>
double Px(const View &view, int v)
{
    return ScaleOf(view).X(v);
}
template <typename View>
double Py(const View &view, int v)
{
    return ScaleOf(view).Y(v);
}

// One area of a sheet: its grid and its placement in 0.01 mm.
struct AreaSpec {
    int rows, columns, left, top, width, height, widthGap, heightGap;
};

// An A4 sheet with the given areas and patch records.
inline std::unique_ptr<ChartDefinitionData::Sheet> MakeSheet(const QList<AreaSpec> &areas,
                                                             const QList<ChartDefinitionData::PatchColor> &patches)
{
    auto sheet = std::make_unique<ChartDefinitionData::Sheet>();
    sheet->Width = 21000;
    sheet->Height = 29700;
    sheet->AreaCount = areas.size();
    for (int a = 0; a < areas.size(); ++a) {
        const AreaSpec &s = areas[a];
        sheet->Areas[a].RowCount = s.rows;
        sheet->Areas[a].ColumnCount = s.columns;
        sheet->Areas[a].PatchCount = s.rows * s.columns;
        sheet->Placements[a] = {s.left, s.top, s.width, s.height, s.widthGap, s.heightGap};
    }
    sheet->PatchCount = patches.size();
    sheet->Patches = std::make_unique<ChartDefinitionData::PatchColor[]>(std::max(1, int(patches.size())));
    for (int i = 0; i < patches.size(); ++i)
        sheet->Patches[i] = patches[i];
    return sheet;
}

// The scene rectangle drawn 1:1 into an image of its size (no antialiasing).
inline QImage RenderScene(QGraphicsScene *scene, const QRectF &source)
{
    QImage image(source.size().toSize(), QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    scene->render(&painter, QRectF(QPointF(0, 0), source.size()), source);
    return image;
}

// The item painted alone, its bounding rectangle's origin at (margin, margin).
inline QImage RenderItem(QGraphicsItem *item, bool selected, int margin = 5)
{
    const QRectF bounds = item->boundingRect();
    QImage image(bounds.size().toSize() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.translate(margin - bounds.x(), margin - bounds.y());
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    item->paint(&painter, &option, nullptr);
    return image;
}

// A mouse driven on the scene itself, no view involved: each event carries the held buttons, the press
// positions and the last position, as the scene's own dispatch needs them to select, grab and move items.
class SceneMouse
{
public:
    explicit SceneMouse(QGraphicsScene *scene, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Each returns whether the event was accepted (by an item, for a press).
    bool Press(const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
    bool Move(const QPointF &at);
    bool Release(const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
    void Click(const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
    void SetModifiers(Qt::KeyboardModifiers modifiers) { m_modifiers = modifiers; }

private:
    bool send(QEvent::Type type, const QPointF &at, Qt::MouseButton button);

    QGraphicsScene *m_scene;
    Qt::KeyboardModifiers m_modifiers;
    Qt::MouseButtons m_buttons;
    QPointF m_last;
    bool m_hasLast = false;
    QHash<int, QPointF> m_down;
};

// A mouse event at a viewport position with the held buttons given explicitly: QTest::mouseMove sends moves
// without buttons, so a view's rubber band never sees a drag through it.
void SendViewportMouse(QGraphicsView *view, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
                       Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// One left-button drag between scene positions, split into the given number of moves, Control held when asked.
struct Drag {
    QPointF from;
    QPointF to;
    bool control = false;
    int moves = 1;
};
void PerformDrag(QGraphicsView *view, const Drag &drag);

} // namespace viewprobe
