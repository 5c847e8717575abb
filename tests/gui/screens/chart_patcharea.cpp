// The patch-area editor over the program's model, hosted by the driver until the main window opens it: a page
// the simulated scanner captured and pre-scanned, its recognition having missed the third printed area; two
// regions marked, then an area of new points added through the row and column dialog and the layout dialog.
// The two dialogs run their own modal loops (the real presenter); each is shot and closed from a zero-time
// timer posted before its loop starts.
#include "screenshooter.h"
#include "viewprobe.h"

#include "app/model.h"
#include "app/orlobuilders.h"
#include "app/recordhelpers.h"
#include "chart/vcaddmeasurepoint.h"
#include "chart/vceditchartgraphicsview.h"
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifychart.h"
#include "chart/vcmodifypatcharea.h"

#include "OrloSim.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using Sheet = ChartDefinitionData::Sheet;

// The printed page (0.01 mm): A 4 x 6 and B 3 x 4 patches of 10 mm along the top, C 3 x 3 patches of 8 mm
// lower right, which the first recognition misses.
constexpr int kPageWidth = 20000;
constexpr int kPageHeight = 15000;
const OrloSimArea kAreaA = {4, 6, 1500, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kAreaB = {3, 4, 10000, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kAreaC = {3, 3, 13000, 8000, 800, 800, 1100, 1100};
// Bare paper under A where the new area goes.
const QRect kNewAreaRegion(QPoint(1500, 8000), QPoint(6500, 11500));
constexpr int kNewRows = 3;
constexpr int kNewColumns = 4;
// Bounded retries of a dialog step that fired before its dialog's loop ran.
constexpr int kDialogStepTries = 50;

// The page's areas as a sheet of CMYK patches, inks varying from patch to patch.
void MakePrintedSheet(Sheet *sheet, const std::vector<OrloSimArea> &areas)
{
    sheet->Width = kPageWidth;
    sheet->Height = kPageHeight;
    sheet->AreaCount = int(areas.size());
    for (size_t a = 0; a < areas.size(); ++a) {
        const OrloSimArea &g = areas[a];
        sheet->Areas[a] = {g.rows, g.columns, g.rows * g.columns};
        sheet->Placements[a] = {g.left, g.top, g.patchWidth, g.patchHeight, g.pitchX, g.pitchY};
        sheet->PatchCount += g.rows * g.columns;
    }
    sheet->Patches = NewChartPatches(size_t(sheet->PatchCount));
    int k = 0;
    for (size_t a = 0; a < areas.size(); ++a) {
        for (int r = 0; r < areas[a].rows; ++r) {
            for (int c = 0; c < areas[a].columns; ++c, ++k) {
                ChartDefinitionData::PatchColor &patch = sheet->Patches[k];
                patch.ID = k + 1;
                patch.Area = int(a);
                patch.Row = r;
                patch.Column = c;
                patch.ColorFormat = ChartDefinitionData::FormatCMYK;
                patch.ColorValue[0] = float((37 * k + 11) % 80);
                patch.ColorValue[1] = float((53 * k + 7) % 80);
                patch.ColorValue[2] = float((29 * k + 40) % 80);
                patch.ColorValue[3] = float((k % 3) * 8);
            }
        }
    }
}

// Makes the next recognition report A and B only, their points at the patch centres.
void ScriptRecognitionMissingC()
{
    Sheet found;
    MakePrintedSheet(&found, {kAreaA, kAreaB});
    OrloLayoutRecord layout;
    BuildLayoutRecord(found, &layout, nullptr);
    std::vector<OrloMeasurePoint> points;
    int area = 0;
    for (const OrloSimArea &g : {kAreaA, kAreaB}) {
        for (int r = 0; r < g.rows; ++r) {
            for (int c = 0; c < g.columns; ++c) {
                points.push_back({g.left + c * g.pitchX + g.patchWidth / 2, g.top + r * g.pitchY + g.patchHeight / 2,
                                  area, r, c});
            }
        }
        ++area;
    }
    OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
}

// Connects the scanner and feeds the printed page without QR code with nothing selected and the chart to be
// confirmed: the run stops at "Pre-scanning completed" (6) for the user.
bool PrescanPrintedPage(CModel *model)
{
    OrloSim_SetDelivery(OrloSim_Manual);
    bool configured = false;
    const Setting::ConnectSetting *current = model->GetConnectSetting(&configured);
    Setting::ConnectSetting connection = current ? *current : Setting::ConnectSetting();
    connection.ConnectionKind = 0;
    connection.Port = QStringLiteral("usb0");
    connection.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(connection) != 0)
        return ScreenFailed(QStringLiteral("connection not set"));
    if (!model->IsOrloConnected() && model->ConnectOrlo(false) != 0)
        return ScreenFailed(QStringLiteral("scanner not connected"));
    // The scanner reports no run of its own, which is when the program waits for the user.
    OrloSim_ForceStatus(0, -1, -1, -1);
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.ConfirmChart = true;
    if (model->SetUserEnvironment(environment) != 0 ||
        model->SelectFileID(CModel::KindDesignationChart, 0, 0) != 0)
        return ScreenFailed(QStringLiteral("run not prepared"));

    Sheet printed;
    const std::vector<OrloSimArea> areas = {kAreaA, kAreaB, kAreaC};
    MakePrintedSheet(&printed, areas);
    std::vector<float> inks;
    for (int k = 0; k < printed.PatchCount; ++k) {
        const float *v = printed.Patches[k].ColorValue;
        inks.insert(inks.end(), {v[0] / 100.0f, v[1] / 100.0f, v[2] / 100.0f, v[3] / 100.0f});
    }
    const OrloSimSheet sheet = {kPageWidth, kPageHeight, int32_t(areas.size()), areas.data(), inks.data(),
                                nullptr, 0, 0, 0};
    ScriptRecognitionMissingC();
    if (OrloSim_InsertSheet(&sheet) != 0)
        return ScreenFailed(QStringLiteral("page not inserted"));
    while (OrloSim_DeliverPending() > 0) {
    }
    if (model->GetOrloDeviceState() != 6 || !model->IsOrloPrescanCompleted())
        return ScreenFailed(QStringLiteral("the run did not stop at status 6: %1").arg(model->GetOrloDeviceState()));
    return true;
}

// A rubber-band drag between two scene points, with the held button in every event.
void Drag(QGraphicsView *view, const QPointF &from, const QPointF &to, bool control)
{
    viewprobe::PerformDrag(view, {from, to, control, 4});
}

// A page point in 0.01 mm as a scene point of the editor's view, whose scene is the page.
QPointF ScenePoint(const QGraphicsView *view, int x, int y)
{
    const QRectF page = view->sceneRect();
    return QPointF(page.width() * x / kPageWidth, page.height() * y / kPageHeight);
}

int SelectedMarkers(const QGraphicsScene *scene)
{
    int count = 0;
    for (QGraphicsItem *item : scene->selectedItems())
        count += dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item) ? 1 : 0;
    return count;
}

int Markers(const QGraphicsScene *scene)
{
    int count = 0;
    for (QGraphicsItem *item : scene->items())
        count += dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item) ? 1 : 0;
    return count;
}

// Runs step on the modal dialog of class D once its loop runs; the step closes it. A dialog still open after a
// failed step is rejected so that no loop is left waiting.
template <typename D>
void PostDialogStep(const std::function<bool(D *)> &step, bool *ok, int tries = kDialogStepTries)
{
    QTimer::singleShot(0, [step, ok, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        D *dialog = qobject_cast<D *>(modal);
        if (!dialog) {
            if (tries > 1)
                PostDialogStep(step, ok, tries - 1);
            return;
        }
        *ok = step(dialog);
        if (!*ok && dialog->isVisible())
            dialog->reject();
    });
}

bool ClickOk(QDialog *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QPushButton *ok = box ? box->button(QDialogButtonBox::Ok) : nullptr;
    if (!ok || !ok->isEnabled())
        return ScreenFailed(QStringLiteral("%1: no OK to press").arg(dialog->metaObject()->className()));
    ok->click();
    return true;
}

bool PatchArea(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    if (!PrescanPrintedPage(model))
        return false;

    CVCModifyPatchArea editor(shooter.MainWindow(), model, 0, model->IsOrloPrescanCompleted());
    auto *view = editor.findChild<CVCEditMeasuredPointGraphicsView *>(QStringLiteral("graphicsView"));
    const auto button = [&editor](const char *name) {
        return editor.findChild<QAbstractButton *>(QLatin1String(name));
    };
    QAbstractButton *add = button("pushAddMeasurePoint");
    QAbstractButton *clip = button("pushClipping");
    QAbstractButton *cancel = button("pushCancel");
    if (!view || !add || !clip || !cancel)
        return ScreenFailed(QStringLiteral("the editor's widgets are missing"));
    if (!shooter.Show(&editor))
        return false;
    editor.findChild<QSlider *>(QStringLiteral("sliderZoom"))->setValue(view->GetFitZoom());
    const int recognised = Markers(view->scene());
    if (recognised != kAreaA.rows * kAreaA.columns + kAreaB.rows * kAreaB.columns)
        return ScreenFailed(QStringLiteral("%1 markers drawn").arg(recognised));

    // Two regions: the first two columns of A, whose markers it selects, and the missed area C.
    Drag(view, ScenePoint(view, kAreaA.left - 200, kAreaA.top - 200),
         ScenePoint(view, kAreaA.left + 2 * kAreaA.pitchX - 100, kAreaA.top + kAreaA.rows * kAreaA.pitchY), false);
    Drag(view, ScenePoint(view, kAreaC.left - 300, kAreaC.top - 300),
         ScenePoint(view, kAreaC.left + kAreaC.columns * kAreaC.pitchX + 200,
                    kAreaC.top + kAreaC.rows * kAreaC.pitchY + 200),
         true);
    if (view->SelectionRects().size() != 2 || SelectedMarkers(view->scene()) != 2 * kAreaA.rows)
        return ScreenFailed(QStringLiteral("regions not taken: %1 bands, %2 markers selected")
                                .arg(view->SelectionRects().size())
                                .arg(SelectedMarkers(view->scene())));
    if (!clip->isEnabled() || add->isEnabled())
        return ScreenFailed(QStringLiteral("two regions: clipping should be on, adding off"));
    if (!shooter.Capture(QStringLiteral("patcharea_regions"), {view}))
        return false;

    // One region on bare paper, and an area of new points in it through both dialogs.
    Drag(view, ScenePoint(view, kNewAreaRegion.left(), kNewAreaRegion.top()),
         ScenePoint(view, kNewAreaRegion.right(), kNewAreaRegion.bottom()), false);
    if (view->SelectionRects().size() != 1 || !add->isEnabled())
        return ScreenFailed(QStringLiteral("the new area's region did not enable adding"));
    bool pointsShot = false;
    bool layoutShot = false;
    PostDialogStep<CVCAddMeasurePoint>(
        [&shooter, view, &layoutShot](CVCAddMeasurePoint *points) {
            if (!QTest::qWaitForWindowExposed(points))
                return ScreenFailed(QStringLiteral("the row and column dialog not exposed"));
            points->findChild<QSpinBox *>(QStringLiteral("spinRow"))->setValue(kNewRows);
            points->findChild<QSpinBox *>(QStringLiteral("spinColumn"))->setValue(kNewColumns);
            if (!shooter.Capture(QStringLiteral("patcharea_add_measure_point"), {view}))
                return false;
            // Posted before the layout dialog's loop, which starts once this one ends.
            PostDialogStep<CVCModifyChart>(
                [&shooter](CVCModifyChart *layout) {
                    auto *chartView = layout->findChild<CVCEditChartGraphicsView *>(QStringLiteral("graphicsView"));
                    if (!chartView || !QTest::qWaitForWindowExposed(layout))
                        return ScreenFailed(QStringLiteral("the layout dialog not shown"));
                    return shooter.Capture(QStringLiteral("patcharea_modify_chart"), {chartView}) && ClickOk(layout);
                },
                &layoutShot);
            return ClickOk(points);
        },
        &pointsShot);
    add->click();
    if (!pointsShot || !layoutShot)
        return ScreenFailed(QStringLiteral("the dialogs were not walked"));
    const int expected = recognised + kNewRows * kNewColumns;
    if (Markers(view->scene()) != expected)
        return ScreenFailed(QStringLiteral("%1 markers after the add, %2 expected")
                                .arg(Markers(view->scene()))
                                .arg(expected));
    if (!shooter.Capture(QStringLiteral("patcharea_after_add"), {view}))
        return false;

    cancel->click();
    return true;
}

const ScreenEntry kEntry("chart_patcharea", [](ScreenShooter &shooter) { return PatchArea(shooter); });

} // namespace
