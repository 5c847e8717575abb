// The chart editing view in a plain window of the driver: an area mid-drag and an area
// mid-resize with their live previews, driven by mouse events through the view, and one area before and after
// the colour scramble.
#include "screenshooter.h"

#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/settingrecords.h"
#include "chart/createchartcore.h"
#include "chart/createchartscramble.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vceditchartgraphicsscene.h"
#include "chart/vceditchartgraphicsview.h"

#include <QApplication>
#include <QColor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;

// The editor's page, all in 0.01 mm: area 0 of 4 x 6 and area 1 of 3 x 6 patches of 12 mm at a 14 mm pitch, one
// above the other, and the QR block to their right.
constexpr int kPageWidth = 29700;
constexpr int kPageHeight = 21000;
constexpr int kPatch = 1200;
constexpr int kPitch = 1400;
constexpr int kBarcodeRect[4] = {21000, 2500, 4000, 4000};

CreateChartArea MakeArea(int rows, int columns, int left, int top, int size, int pitch)
{
    CreateChartArea area;
    area.LeftTopX = left;
    area.LeftTopY = top;
    area.RowCount = rows;
    area.ColumnCount = columns;
    area.PatchCount = rows * columns;
    area.PatchWidth = size;
    area.PatchHeight = size;
    area.PatchWidthGap = pitch;
    area.PatchHeightGap = pitch;
    area.Patches.resize(area.PatchCount);
    return area;
}

// The sheet the views draw from an editor page with RGB patches, as the editor hands its pages to the view.
std::unique_ptr<Sheet> PageToSheet(const CreateChartPage &page)
{
    auto sheet = std::make_unique<Sheet>();
    sheet->Width = page.Width;
    sheet->Height = page.Height;
    int count = 0;
    for (int a = 0; a < kMaxAreaCount; ++a) {
        if (page.Areas[size_t(a)].PatchCount > 0) {
            sheet->AreaCount = a + 1;
            count += page.Areas[size_t(a)].PatchCount;
        }
    }
    sheet->PatchCount = count;
    sheet->Patches = NewChartPatches(size_t(std::max(1, count)));
    int k = 0;
    for (int a = 0; a < sheet->AreaCount; ++a) {
        const CreateChartArea &area = page.Areas[size_t(a)];
        sheet->Areas[a] = {area.RowCount, area.ColumnCount, area.PatchCount};
        sheet->Placements[a] = {area.LeftTopX, area.LeftTopY, area.PatchWidth, area.PatchHeight,
                                area.PatchWidthGap, area.PatchHeightGap};
        for (int i = 0; i < area.PatchCount; ++i, ++k) {
            PatchColor &p = sheet->Patches[k];
            p.ID = area.Patches[i].ID;
            p.Area = a;
            p.Row = i / area.ColumnCount;
            p.Column = i % area.ColumnCount;
            p.ColorFormat = ChartDefinitionData::FormatRGB;
            for (int v = 0; v < 3; ++v)
                p.ColorValue[v] = area.Patches[i].ColorValue[v];
        }
    }
    return sheet;
}

// Numbers the area's patches from `id` on and colours them along the grid: the hue steps across
// the columns, lightness falls down the rows, so vertical neighbours are close.
void FillArea(CreateChartArea &area, int *id)
{
    for (int i = 0; i < area.PatchCount; ++i) {
        const int row = i / area.ColumnCount;
        const int column = i % area.ColumnCount;
        const QColor colour = QColor::fromHsv(330 * column / std::max(1, area.ColumnCount - 1),
                                              70 + 180 * row / std::max(1, area.RowCount), 250 - 12 * row);
        CreateChartPatch &patch = area.Patches[i];
        patch.ID = (*id)++;
        patch.ColorValue[0] = float(colour.red());
        patch.ColorValue[1] = float(colour.green());
        patch.ColorValue[2] = float(colour.blue());
    }
}

CreateChartPage EditorPage()
{
    CreateChartPage page;
    page.Width = kPageWidth;
    page.Height = kPageHeight;
    page.AreaCount = 2;
    page.Areas[0] = MakeArea(4, 6, 2000, 2500, kPatch, kPitch);
    page.Areas[1] = MakeArea(3, 6, 2000, 10000, kPatch, kPitch);
    int id = 1;
    FillArea(page.Areas[0], &id);
    FillArea(page.Areas[1], &id);
    return page;
}

QPointF ScenePoint(const CVCGraphicsView *view, int x, int y)
{
    return QPointF(view->PixelsX(x), view->PixelsY(y));
}

// A mouse event on the view's viewport, as the window system would deliver it, with the held buttons.
void SendMouse(QGraphicsView *view, QEvent::Type type, const QPointF &scenePoint, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPoint pos = view->mapFromScene(scenePoint);
    QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
}

// Hovers over `from`, presses there and moves to `to` in a few steps, keeping the button down for the shot.
void StartDrag(QGraphicsView *view, const QPointF &from, const QPointF &to)
{
    SendMouse(view, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    SendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    constexpr int kSteps = 4;
    for (int i = 1; i <= kSteps; ++i)
        SendMouse(view, QEvent::MouseMove, from + (to - from) * i / kSteps, Qt::NoButton, Qt::LeftButton);
}

void EndDrag(QGraphicsView *view, const QPointF &at)
{
    SendMouse(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// The editing view of the editor page with its QR block, in a window over the screen, fitted.
struct EditWindow {
    explicit EditWindow(ScreenShooter &shooter) : sheet(PageToSheet(EditorPage()))
    {
        auto *layout = new QVBoxLayout(&window);
        view = new CVCEditChartGraphicsView(&window);
        layout->addWidget(view);
        view->SetBarcodeInset(shooter.Model()->GetBarcodeInsetPixels());
        view->DrawSheet(sheet.get(), 0, 0, 8, nullptr);
        view->DrawBarcode(kBarcodeRect);
        shown = shooter.Show(&window);
        if (shown)
            view->SetZoom(view->GetFitZoom());
    }
    std::unique_ptr<Sheet> sheet;
    QWidget window;
    CVCEditChartGraphicsView *view = nullptr;
    bool shown = false;
};

// Area 1 grabbed inside and dragged 40 mm right and 3 mm down: its patches follow, area 0 and the QR block stay.
bool DragArea(ScreenShooter &shooter)
{
    EditWindow w(shooter);
    if (!w.shown)
        return false;
    const QPointF from = ScenePoint(w.view, 2000 + kPitch + kPatch / 2, 10000 + kPitch + kPatch / 2);
    const QPointF to = from + ScenePoint(w.view, 4000, 300);
    StartDrag(w.view, from, to);
    if (w.view->EditScene()->GetDragMode() != CVCEditChartGraphicsScene::DragMove ||
        w.view->EditScene()->GetDragTarget() != 1)
        return ScreenFailed(QStringLiteral("area 1 not grabbed for a move"));
    const bool captured = shooter.Capture(QStringLiteral("editor_drag_area"), {w.view});
    EndDrag(w.view, to);
    return captured;
}

// Area 0 grabbed by the square at its bottom-right corner and pulled 45 mm right and 12 mm down: every patch
// grows and spreads with the grid.
bool ResizeArea(ScreenShooter &shooter)
{
    EditWindow w(shooter);
    if (!w.shown)
        return false;
    const int right = 2000 + 5 * kPitch + kPatch;
    const int bottom = 2500 + 3 * kPitch + kPatch;
    const QPointF from = ScenePoint(w.view, right - 80, bottom - 80);
    const QPointF to = from + ScenePoint(w.view, 4500, 1200);
    StartDrag(w.view, from, to);
    if (w.view->EditScene()->GetDragMode() != CVCEditChartGraphicsScene::DragResize ||
        w.view->EditScene()->GetDragTarget() != 0)
        return ScreenFailed(QStringLiteral("area 0 not grabbed for a resize"));
    const bool captured = shooter.Capture(QStringLiteral("editor_resize_area"), {w.view});
    EndDrag(w.view, to);
    return captured;
}

// One 8 x 6 area as drawn and as the scramble rearranges it, side by side.
bool Scramble(ScreenShooter &shooter)
{
    CreateChartPage page;
    page.Width = 12000;
    page.Height = 14500;
    page.AreaCount = 1;
    page.Areas[0] = MakeArea(8, 6, 1500, 1500, 1400, 1500);
    int id = 1;
    FillArea(page.Areas[0], &id);
    CreateChartPageList original{page};
    CreateChartPageList scrambled = original;
    ScramblePageList(scrambled, ChartDefinitionData::FormatRGB, Setting::UserEnvironment().Inks);
    bool moved = false;
    for (int i = 0; i < page.Areas[0].PatchCount; ++i)
        moved |= scrambled[0].Areas[0].Patches[i].ID != original[0].Areas[0].Patches[i].ID;
    if (!moved)
        return ScreenFailed(QStringLiteral("the scramble kept the order"));

    const auto before = PageToSheet(original[0]);
    const auto after = PageToSheet(scrambled[0]);
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    QList<CVCGraphicsView *> views;
    for (const Sheet *sheet : {before.get(), after.get()}) {
        auto *box = new QGroupBox(sheet == before.get() ? QStringLiteral("Original") : QStringLiteral("Scramble"),
                                  &window);
        auto *boxLayout = new QVBoxLayout(box);
        auto *view = new CVCChartGraphicsView(box);
        boxLayout->addWidget(view);
        layout->addWidget(box);
        view->DrawSheet(sheet, 0, 0, 8, nullptr);
        views << view;
    }
    if (!shooter.Show(&window))
        return false;
    for (CVCGraphicsView *view : views)
        view->SetZoom(view->GetFitZoom());
    return shooter.Capture(QStringLiteral("editor_scramble"), views);
}

const ScreenEntry kEntry("chart_editscene", [](ScreenShooter &shooter) {
    return DragArea(shooter) && ResizeArea(shooter) && Scramble(shooter);
});

} // namespace
