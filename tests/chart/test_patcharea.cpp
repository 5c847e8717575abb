// The patch-area editor over the real model: its buttons as regions are marked and points deleted, undone and
// redone; adding an area through the two nested dialogs; clipping through the simulated scanner; page switches;
// the three ways out and what each leaves in the model.
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vcaddmeasurepoint.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifychart.h"
#include "chart/vcmodifypatcharea.h"
#include "chartcompare.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"
#include "viewprobe.h"

#include "app/documentdata.h"
#include "app/orlobuilders.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QDir>
#include <QtTest>

#include <cstring>

using viewprobe::PerformDrag;
using ChartDefinitionData::Sheet;

namespace {

// At 254 dots per inch one scene pixel is 0.1 mm (10 in 0.01 mm).
constexpr int kDpi = 254;

QPointF ScenePoint(int x, int y)
{
    return QPointF(x / 10.0, y / 10.0);
}

// The model's buffer set to a chart of the given sheets and a measurement with one entry per given page number;
// each entry measures the sheet of its page (a point at every patch centre) and carries a grey page image.
void FillBuffer(CModel *model, const QVector<Sheet *> &sheets, const QVector<int> &pageNumbers)
{
    ChartDefinitionDataSheets *chart = model->GetChartDefinition();
    ClearChartDefinitionData(chart);
    chart->SheetCount = sheets.size();
    chart->Sheets = NewChartSheets(size_t(sheets.size()));
    for (int s = 0; s < sheets.size(); ++s) {
        CopySheetData(&chart->Sheets[s], *sheets.at(s));
        chart->ChartPatchCount += sheets.at(s)->PatchCount;
    }
    MeasurementDataSheets *measurement = CModelAccess::DataBuffer(*model)->GetMeasurement();
    ClearMeasureFileData(measurement);
    measurement->SheetCount = pageNumbers.size();
    measurement->Sheets = NewMeasurementPages(size_t(pageNumbers.size()));
    for (int e = 0; e < pageNumbers.size(); ++e) {
        const int s = std::clamp(pageNumbers.at(e) - 1, 0, int(sheets.size()) - 1);
        MeasurementData page = MakeSmallMeasurement(*sheets.at(s), 0);
        page.PageNumber = pageNumbers.at(e);
        // 200 x 150 mm at 127 dpi.
        page.Width = 1000;
        page.Height = 750;
        page.ImageDPI = 127;
        page.ImageBytes = NewImageBytes(size_t(page.Width * page.Height));
        std::fill(page.ImageBytes.get(), page.ImageBytes.get() + page.Width * page.Height, 200);
        measurement->RecordCount += page.RecordCount;
        measurement->Sheets[e] = std::move(page);
    }
}

// A sheet of `areas` areas of rows x columns, 6 mm patches on a 7 mm pitch, the areas laid out five to a row.
Sheet GridSheet(int areas, int rows, int columns)
{
    Sheet sheet;
    sheet.Width = 20000;
    sheet.Height = 15000;
    sheet.AreaCount = areas;
    int k = 0;
    sheet.PatchCount = areas * rows * columns;
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    for (int a = 0; a < areas; ++a) {
        sheet.Areas[a] = {rows, columns, rows * columns};
        sheet.Placements[a] = {1000 + (a % 5) * 3500, 1000 + (a / 5) * 1300, 600, 600, 700, 700};
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c, ++k)
                sheet.Patches[k] = viewprobe::Rgb(k + 1, a, r, c, 10, 20, 30);
        }
    }
    return sheet;
}

struct Editor {
    CVCModifyPatchArea dialog;
    CVCEditMeasuredPointGraphicsView *view;

    Editor(CModel *model, int page = 0, bool prescan = true)
        : dialog(nullptr, model, page, prescan),
          view(dialog.findChild<CVCEditMeasuredPointGraphicsView *>(QStringLiteral("graphicsView")))
    {
    }

    QAbstractButton *Button(const char *name) const
    {
        return dialog.findChild<QAbstractButton *>(QLatin1String(name));
    }
    // Enabled states of Add Measure Point, Clipping Chart, Register Chart, Measurement, Undo and Redo.
    QString States() const
    {
        QString states;
        for (const char *name : {"pushAddMeasurePoint", "pushClipping", "pushRegisterChart", "pushStartMeasurement",
                                 "pushUndo", "pushRedo"})
            states += Button(name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return states;
    }
    QList<CVCMeasuredPointGraphicsPatch *> Markers() const
    {
        QList<CVCMeasuredPointGraphicsPatch *> markers;
        for (QGraphicsItem *item : view->scene()->items()) {
            if (auto *marker = dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item))
                markers << marker;
        }
        return markers;
    }
    CVCMeasuredPointGraphicsPatch *Marker(int area, int row, int column) const
    {
        for (CVCMeasuredPointGraphicsPatch *marker : Markers()) {
            int a, r, c;
            marker->GetIndices(&a, &r, &c);
            if (a == area && r == row && c == column)
                return marker;
        }
        return nullptr;
    }
    void Select(const QVector<QVector<int>> &points)
    {
        for (const QVector<int> &p : points)
            Marker(p[0], p[1], p[2])->setSelected(true);
    }

    // Shown at 254 dpi, so scene pixels are tenths of a millimetre; at 100 % drags land on the pixel.
    void Show(const MeasurementData *entry, int zoom = 100)
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        view->SetResolution(kDpi, kDpi);
        view->DrawMeasurement(entry);
        dialog.findChild<QSlider *>(QStringLiteral("sliderZoom"))->setValue(zoom);
        view->centerOn(0, 0);
    }
};

const MeasurementData *ModelEntry(CModel *model, int index)
{
    MeasurementDataSheets *measurement = nullptr;
    model->GetMeasurementData(&measurement);
    return &measurement->Sheets[index];
}

// Two printed areas: 2 x 3 patches of 10 mm at the top left, 3 x 2 patches of 8 mm further down on the right.
const OrloSimArea kFirstArea = {2, 3, 1500, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kSecondArea = {3, 2, 10000, 6000, 800, 800, 1100, 1100};

// The layout the scanner reports for a page of the given areas, its points at the patch centres.
void ScriptRecognition(const QVector<OrloSimArea> &areas, int pointsDropped = 0)
{
    ChartDefinitionDataSheets chart;
    MakePrintableChart(&chart, QStringLiteral("SCRIPT"), {areas}, 0);
    OrloLayoutRecord layout;
    BuildLayoutRecord(chart.Sheets[0], &layout, nullptr);
    std::vector<OrloMeasurePoint> points;
    for (int a = 0; a < areas.size(); ++a) {
        const OrloSimArea &g = areas.at(a);
        for (int r = 0; r < g.rows; ++r) {
            for (int c = 0; c < g.columns; ++c)
                points.push_back({g.left + c * g.pitchX + g.patchWidth / 2, g.top + r * g.pitchY + g.patchHeight / 2,
                                  a, r, c});
        }
    }
    points.resize(points.size() - size_t(pointsDropped));
    OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
    ClearChartDefinitionData(&chart);
}

// A connected scanner held at "Pre-scanning completed" on a printed page of both areas whose recognition found
// only the first.
bool RecogniseFirstOfTwo(ModelFixture *fixture)
{
    if (!fixture->Make() || fixture->ConnectUsb() != 0)
        return false;
    CModel *model = fixture->model.get();
    OrloSim_ForceStatus(0, -1, -1, -1);
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.ConfirmChart = true;
    if (model->SetUserEnvironment(environment) != 0 || model->SelectFileID(CModel::KindDesignationChart, 0, 0) != 0)
        return false;
    ChartDefinitionDataSheets chart;
    MakePrintableChart(&chart, QStringLiteral("CLIP"), {{kFirstArea, kSecondArea}}, 0);
    ScriptRecognition({kFirstArea});
    const int inserted = InsertPrintedPage(chart, 0, false);
    ClearChartDefinitionData(&chart);
    if (inserted != 0)
        return false;
    while (OrloSim_DeliverPending() > 0) {
    }
    fixture->window->errors.clear();
    return model->GetOrloDeviceState() == 6 && model->IsOrloPrescanCompleted();
}

// The centre of a marker in 0.01 mm at 254 dpi.
QPoint MarkerCentre(const CVCMeasuredPointGraphicsPatch *marker)
{
    return (marker->boundingRect().center() * 10).toPoint();
}

} // namespace

class TestPatchArea : public QObject
{
    Q_OBJECT

    ModelFixture fixture;
    CModel *model = nullptr;

    // Two areas on one page: 2 x 3 at (10, 10) mm and 2 x 2 at (45, 10) mm.
    void fillTwoAreas()
    {
        Sheet sheet = GridSheet(2, 2, 3);
        sheet.Areas[1] = {2, 2, 4};
        sheet.PatchCount = 10;
        FillBuffer(model, {&sheet}, {1});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fixture.Make());
        model = fixture.model.get();
    }

    void init()
    {
        fixture.window->errors.clear();
        fillTwoAreas();
    }

    // The finish buttons by the rule, Measurement only with the pre-scan done; everything else off; one page
    // without a menu.
    void buttonsAtConstruction_data()
    {
        QTest::addColumn<bool>("prescan");
        QTest::addColumn<QString>("states");
        QTest::newRow("pre-scan done") << true << "001100";
        QTest::newRow("pre-scan not done") << false << "001000";
    }
    void buttonsAtConstruction()
    {
        QFETCH(bool, prescan);
        QFETCH(QString, states);
        Editor editor(model, 0, prescan);
        QCOMPARE(editor.States(), states);
        auto *page = editor.dialog.findChild<QToolButton *>(QStringLiteral("pushPageButton"));
        QCOMPARE(page->text(), QStringLiteral("1 / 1"));
        QVERIFY(!page->menu());
        QCOMPARE(editor.Markers().size(), 10);
        QCOMPARE(editor.view->viewport()->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(editor.dialog.windowTitle(), QStringLiteral("Edit Patch Area"));
    }

    // Data the editor cannot work on: message 3, exec 0 without showing, the model untouched.
    void unusableInput_data()
    {
        QTest::addColumn<QVector<int>>("pageNumbers");
        QTest::addColumn<int>("page");
        QTest::newRow("no measurement") << QVector<int>() << 0;
        QTest::newRow("page index past the entries") << QVector<int>{1} << 1;
        QTest::newRow("page number above the sheet count") << QVector<int>{1, 2} << 0;
    }
    void unusableInput()
    {
        QFETCH(QVector<int>, pageNumbers);
        QFETCH(int, page);
        Sheet sheet = GridSheet(1, 2, 2);
        FillBuffer(model, {&sheet}, pageNumbers);
        Editor editor(model, page);
        QCOMPARE(fixture.window->errors, QList<int>{3});
        QSignalSpy finished(&editor.dialog, &QDialog::finished);
        QCOMPARE(editor.dialog.exec(), 0);
        QVERIFY(!editor.dialog.isVisible());
        QCOMPARE(finished.size(), 0);
        QCOMPARE(model->GetChartDefinition()->Sheets[0].PatchCount, 4);
    }

    // One band: Add and Clip; a second with Control: Add off, Clip kept; a press without Control clears both.
    void regionsEnableAddAndClip_data()
    {
        QTest::addColumn<bool>("prescan");
        QTest::addColumn<QString>("one");
        QTest::addColumn<QString>("two");
        QTest::newRow("pre-scan done") << true << "111100" << "011100";
        QTest::newRow("pre-scan not done") << false << "101000" << "001000";
    }
    void regionsEnableAddAndClip()
    {
        QFETCH(bool, prescan);
        QFETCH(QString, one);
        QFETCH(QString, two);
        Editor editor(model, 0, prescan);
        editor.Show(ModelEntry(model, 0));
        PerformDrag(editor.view, {ScenePoint(6500, 3000), ScenePoint(9500, 5000)});
        QCOMPARE(editor.States(), one);
        PerformDrag(editor.view, {ScenePoint(1000, 4000), ScenePoint(3000, 5500), true});
        QCOMPARE(editor.view->SelectionRects().size(), 2);
        QCOMPARE(editor.States(), two);
        // A click without Control discards both bands.
        PerformDrag(editor.view, {ScenePoint(4000, 5800), ScenePoint(4000, 5800)});
        QCOMPARE(editor.States().left(2), QStringLiteral("00"));
    }

    // A page already at 50 areas, and one whose pending deletions would regroup into more than 50: a band never
    // enables Add or Clip. Forced, Add reports message 18: the regrouping fails with the deletions still pending,
    // or the 51st area is refused after it.
    void fiftyAreas_data()
    {
        QTest::addColumn<bool>("checkerboard");
        QTest::addColumn<int>("markers");
        QTest::newRow("50 areas") << false << 50;
        QTest::newRow("deletions regroup into more than 50") << true << 53;
    }
    void fiftyAreas()
    {
        QFETCH(bool, checkerboard);
        QFETCH(int, markers);
        Sheet sheet = checkerboard ? GridSheet(1, 2, 53) : GridSheet(50, 1, 1);
        FillBuffer(model, {&sheet}, {1});
        Editor editor(model);
        editor.Show(ModelEntry(model, 0));
        if (checkerboard) {
            // Row 0 keeps the even columns, row 1 the odd ones: 53 runs that join into no larger area.
            for (int c = 0; c < 53; ++c)
                editor.Marker(0, c % 2 == 0 ? 1 : 0, c)->setSelected(true);
            editor.dialog.pushDelete();
        }
        PerformDrag(editor.view, {ScenePoint(200, 200), ScenePoint(800, 800)});
        QCOMPARE(editor.view->SelectionRects().size(), 1);
        QCOMPARE(editor.States().left(2), QStringLiteral("00"));

        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCAddMeasurePoint"), [](QDialog *dialog) { dialog->accept(); });
        script.ExpectDialog(QStringLiteral("CVCModifyChart"), [](QDialog *dialog) { dialog->accept(); });
        editor.dialog.pushAddMeasurePoint();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(fixture.window->errors, QList<int>{18});
        QCOMPARE(editor.Markers().size(), markers);
        // A failed regrouping keeps the deletions undoable; a refused area follows a fold and a fresh history.
        QCOMPARE(editor.Button("pushUndo")->isEnabled(), checkerboard);
        QCOMPARE(editor.view->SelectionRects().size(), checkerboard ? 1 : 0);
        QVERIFY(editor.dialog.isVisible());
    }

    // Delete by key and by button, undo and redo with their buttons' states; deleting every point turns both
    // finish buttons off and one undo turns them on again.
    void deleteUndoRedo()
    {
        Editor editor(model);
        editor.Show(ModelEntry(model, 0));
        editor.Select({{0, 0, 0}, {0, 0, 1}});
        QTest::keyClick(&editor.dialog, Qt::Key_Delete);
        QCOMPARE(editor.Markers().size(), 8);
        QCOMPARE(editor.States(), QStringLiteral("001110"));
        for (CVCMeasuredPointGraphicsPatch *marker : editor.Markers())
            marker->setSelected(true);
        editor.Button("pushDelete")->click();
        QCOMPARE(editor.Markers().size(), 0);
        QCOMPARE(editor.States(), QStringLiteral("000010"));

        editor.Button("pushUndo")->click();
        QCOMPARE(editor.Markers().size(), 8);
        QCOMPARE(editor.States(), QStringLiteral("001111"));
        QTest::keyClick(&editor.dialog, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.Markers().size(), 10);
        QCOMPARE(editor.States(), QStringLiteral("001101"));
        editor.Button("pushRedo")->click();
        QCOMPARE(editor.Markers().size(), 8);
        QCOMPARE(editor.States(), QStringLiteral("001111"));
        // Nothing selected: nothing pushed, the redo step stays.
        editor.Button("pushDelete")->click();
        QCOMPARE(editor.States(), QStringLiteral("001111"));
    }

    // Add Measure Point through both nested dialogs: the new area in the view and no history left.
    void addMeasurePoint()
    {
        Editor editor(model);
        editor.Show(ModelEntry(model, 0));
        editor.Select({{0, 1, 2}});
        editor.dialog.pushDelete();
        // 30.00 x 20.00 mm at (65, 30) mm: the band takes both end pixels.
        PerformDrag(editor.view, {ScenePoint(6500, 3000), ScenePoint(9490, 4990)});
        QRect handedOn;
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCAddMeasurePoint"), [](QDialog *dialog) {
            auto *points = static_cast<CVCAddMeasurePoint *>(dialog);
            points->findChild<QSpinBox *>(QStringLiteral("spinRow"))->setValue(2);
            points->findChild<QSpinBox *>(QStringLiteral("spinColumn"))->setValue(3);
            dialog->accept();
        });
        script.ExpectDialog(QStringLiteral("CVCModifyChart"), [&handedOn](QDialog *dialog) {
            Sheet sheet;
            static_cast<CVCModifyChart *>(dialog)->GetSheet(&sheet);
            const ChartDefinitionData::AreaPlacement &p = sheet.Placements[0];
            handedOn = QRect(p.LeftTopX, p.LeftTopY, 3 * p.PatchWidth, 2 * p.PatchHeight);
            dialog->accept();
        });
        editor.Button("pushAddMeasurePoint")->click();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        // The region 30.00 mm wide over 3 columns: right = left + 2999, so patches of 1000.
        QCOMPARE(handedOn, QRect(6500, 3000, 3000, 2000));

        // The deletion was folded first (2 x 3 less one point: two areas), then the new area is the fourth.
        QCOMPARE(editor.Markers().size(), 9 + 6);
        QVERIFY(editor.Marker(3, 1, 2));
        QCOMPARE(editor.States(), QStringLiteral("001100"));
        QVERIFY(editor.view->SelectionRects().isEmpty());
        QCOMPARE(fixture.window->errors, QList<int>{});
    }

    // Either nested dialog cancelled: nothing folded, the deletion still undoable.
    void addMeasurePointCancelled_data()
    {
        QTest::addColumn<bool>("firstAccepted");
        QTest::newRow("rows and columns cancelled") << false;
        QTest::newRow("layout cancelled") << true;
    }
    void addMeasurePointCancelled()
    {
        QFETCH(bool, firstAccepted);
        Editor editor(model);
        editor.Show(ModelEntry(model, 0));
        editor.Select({{0, 1, 2}});
        editor.dialog.pushDelete();
        PerformDrag(editor.view, {ScenePoint(6500, 3000), ScenePoint(9500, 5000)});
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCAddMeasurePoint"), [firstAccepted](QDialog *dialog) {
            firstAccepted ? dialog->accept() : dialog->reject();
        });
        if (firstAccepted)
            script.ExpectDialog(QStringLiteral("CVCModifyChart"), [](QDialog *dialog) { dialog->reject(); });
        editor.Button("pushAddMeasurePoint")->click();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(editor.Markers().size(), 9);
        QCOMPARE(editor.States(), QStringLiteral("111110"));
    }

    // A page switch folds the deletions into the old page: nothing to undo, the other entry shown.
    void pageSwitchFolds()
    {
        Sheet first = GridSheet(1, 2, 2);
        Sheet second = GridSheet(2, 1, 3);
        FillBuffer(model, {&first, &second}, {1, 2});
        Editor editor(model);
        auto *page = editor.dialog.findChild<QToolButton *>(QStringLiteral("pushPageButton"));
        QCOMPARE(page->text(), QStringLiteral("1 / 2"));
        QVERIFY(page->menu());
        editor.Select({{0, 0, 0}});
        editor.dialog.pushDelete();
        QCOMPARE(editor.States(), QStringLiteral("001110"));

        page->menu()->actions().at(1)->trigger();
        QCOMPARE(page->text(), QStringLiteral("2 / 2"));
        QCOMPARE(editor.Markers().size(), 6);
        QCOMPARE(editor.States(), QStringLiteral("001100"));
        QVERIFY(!page->menu()->actions().at(0)->isChecked());
        QVERIFY(page->menu()->actions().at(1)->isChecked());
        editor.dialog.pushUndo();
        QCOMPARE(editor.Markers().size(), 6);

        // Back on page 1 the folded deletion is part of the page.
        page->menu()->actions().at(0)->trigger();
        QCOMPARE(editor.Markers().size(), 3);
    }

    // "Measurement": the current sheet and entry go back to the model and exec gives 2.
    void measurementHandsBack()
    {
        Editor editor(model);
        editor.Select({{1, 0, 0}});
        const int result = ModalRunner::Run(&editor.dialog, [&editor](QDialog *) {
            editor.dialog.pushDelete();
            editor.Button("pushStartMeasurement")->click();
        });
        QCOMPARE(result, 2);
        QCOMPARE(model->GetChartDefinition()->Sheets[0].PatchCount, 9);
        QCOMPARE(ModelEntry(model, 0)->RecordCount, 9);
        QCOMPARE(model->GetChartDefinition()->Sheets[0].AreaCount, 3);
    }

    // "Register Chart": one new chart with the edited sheets; the buffer then holds them too.
    void registerChart()
    {
        QSignalSpy created(model, &CModel::CreateDesignationChartFinished);
        const int before = model->GetDesignationCharts()->size();
        Editor editor(model);
        editor.Select({{0, 0, 0}, {0, 0, 1}});
        const int result = ModalRunner::Run(&editor.dialog, [&editor](QDialog *) {
            editor.dialog.pushDelete();
            editor.Button("pushRegisterChart")->click();
        });
        QCOMPARE(result, 1);
        QCOMPARE(created.size(), 1);
        QCOMPARE(model->GetDesignationCharts()->size(), before + 1);
        const ChartDesigData record = model->GetDesignationCharts()->last();
        QVERIFY(!record.ChartName.isEmpty());
        QCOMPARE(record.Diameter, 1);
        QCOMPARE(record.Recog, int(ChartDefinitionData::RecogCombine));
        ChartDefinitionDataSheets filed;
        QCOMPARE(model->ReadDesignationChart(record.ID, &filed), 0);
        QCOMPARE(filed.SheetCount, 1);
        QCOMPARE(filed.ChartPatchCount, 8);
        // Row 0 of the first area keeps one point: it and row 1 become two areas beside the second.
        QCOMPARE(filed.Sheets[0].AreaCount, 3);
        QCOMPARE(model->GetChartDefinition()->Sheets[0].PatchCount, 8);
        QCOMPARE(fixture.window->errors, QList<int>{});
    }

    // Cancel, Escape and closing: 0, and the model's chart and measurement as they were.
    void waysOutChangeNothing_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close") << 2;
    }
    void waysOutChangeNothing()
    {
        QFETCH(int, way);
        ChartDefinitionDataSheets chartBefore;
        CopyChartDefinitionData(&chartBefore, *model->GetChartDefinition());
        MeasurementDataSheets measurementBefore;
        MeasurementDataSheets *measurement = nullptr;
        model->GetMeasurementData(&measurement);
        CopyMeasureFileData(&measurementBefore, *measurement);
        Editor editor(model);
        editor.Select({{0, 0, 0}});
        QSignalSpy finished(&editor.dialog, &QDialog::finished);
        const int result = ModalRunner::Run(&editor.dialog, [&editor, way](QDialog *dialog) {
            editor.dialog.pushDelete();
            editor.Select({{1, 0, 0}});
            editor.dialog.pushDelete();
            if (way == 0)
                editor.Button("pushCancel")->click();
            else if (way == 1)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        QCOMPARE(result, 0);
        QVERIFY(!finished.isEmpty());
        QCOMPARE(finished.last().at(0).toInt(), 0);
        fixture::CompareCharts(*model->GetChartDefinition(), chartBefore);
        model->GetMeasurementData(&measurement);
        QCOMPARE(measurement->SheetCount, measurementBefore.SheetCount);
        const MeasurementData &now = measurement->Sheets[0];
        const MeasurementData &before = measurementBefore.Sheets[0];
        QCOMPARE(now.RecordCount, before.RecordCount);
        QVERIFY(std::memcmp(now.Records.get(), before.Records.get(),
                            sizeof(MeasurementData::PatchData) * size_t(now.RecordCount)) == 0);
    }

    // Return keeps its standard dialog meaning here: the first accept button, "Measurement", answers it.
    void returnMeasures()
    {
        Editor editor(model);
        const int result = ModalRunner::Run(&editor.dialog, [](QDialog *dialog) {
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QCOMPARE(result, 2);
    }

    // Delete, undo, delete again (dropping the undone command), switch page and close: ASan and LeakSanitizer
    // see every marker freed once.
    void deletedMarkersFreedOnce()
    {
        Sheet first = GridSheet(1, 2, 2);
        Sheet second = GridSheet(1, 1, 2);
        FillBuffer(model, {&first, &second}, {1, 2});
        {
            Editor editor(model);
            editor.Select({{0, 0, 0}});
            editor.dialog.pushDelete();
            editor.dialog.pushUndo();
            editor.Select({{0, 1, 1}});
            editor.dialog.pushDelete();
            editor.Select({{0, 1, 0}});
            editor.dialog.pushDelete();
            editor.dialog.pushUndo();
            auto *page = editor.dialog.findChild<QToolButton *>(QStringLiteral("pushPageButton"));
            page->menu()->actions().at(1)->trigger();
            editor.Select({{0, 0, 1}});
            editor.dialog.pushDelete();
        }
        QCOMPARE(model->GetChartDefinition()->Sheets[0].PatchCount, 4);
    }

    // With "Fit in the window" checked the zoom follows resizes; moving the slider unchecks it.
    void fitFollowsResize()
    {
        Editor editor(model);
        editor.dialog.resize(600, 500);
        editor.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor.dialog));
        auto *slider = editor.dialog.findChild<QSlider *>(QStringLiteral("sliderZoom"));
        auto *zoom = editor.dialog.findChild<QToolButton *>(QStringLiteral("pushZoomSetting"));
        QAction *fit = zoom->menu()->actions().last();
        QVERIFY(fit->isChecked());
        const int small = slider->value();
        QCOMPARE(small, editor.view->GetFitZoom());
        editor.dialog.resize(1200, 1000);
        QTRY_VERIFY(slider->value() > small);
        QCOMPARE(slider->value(), editor.view->GetFitZoom());
        QVERIFY(fit->isChecked());
        slider->setValue(slider->value() - 1);
        QVERIFY(!fit->isChecked());
        const int kept = slider->value();
        editor.dialog.resize(600, 500);
        editor.dialog.repaint();
        QCOMPARE(slider->value(), kept);
    }

    // "Register Chart" refused by the document store: message 58, the dialog open, model and list unchanged.
    void registerChartFailing()
    {
        CDocumentData *store = CModelAccess::DocumentData(*model);
        int next = 1;
        for (const ChartDesigData &record : *model->GetDesignationCharts())
            next = std::max(next, record.ID + 1);
        // A folder where the next chart file goes.
        QVERIFY(QDir().mkpath(store->DesignationChartPath(next)));
        const int before = model->GetDesignationCharts()->size();
        Editor editor(model);
        editor.dialog.show();
        editor.Select({{0, 0, 0}});
        editor.dialog.pushDelete();
        editor.Button("pushRegisterChart")->click();
        QCOMPARE(fixture.window->errors, QList<int>{58});
        QVERIFY(editor.dialog.isVisible());
        QCOMPARE(model->GetDesignationCharts()->size(), before);
        QCOMPARE(model->GetChartDefinition()->Sheets[0].PatchCount, 10);
        QVERIFY(QDir().rmdir(store->DesignationChartPath(next)));
    }

    // Clipping a band around the printed area the recognition missed: the pending deletion is folded, the
    // scanner's area follows the page's with a point at each located centre, and the history starts afresh.
    void clipMergesTheFoundArea()
    {
        QVERIFY(RecogniseFirstOfTwo(&fixture));
        model = fixture.model.get();
        Editor editor(model, 0, model->IsOrloPrescanCompleted());
        editor.Show(ModelEntry(model, 0), 50);
        QCOMPARE(editor.Markers().size(), 6);
        editor.Select({{0, 0, 0}});
        editor.dialog.pushDelete();
        PerformDrag(editor.view, {ScenePoint(9500, 5500), ScenePoint(12500, 9500)});
        QCOMPARE(editor.States(), QStringLiteral("111110"));
        editor.Button("pushClipping")->click();
        QCOMPARE(fixture.window->errors, QList<int>{});

        // The first area less its first point regroups into two; the found 3 x 2 area is the third.
        QCOMPARE(editor.Markers().size(), 5 + 6);
        for (int k = 0; k < 6; ++k) {
            const int r = k / 2, c = k % 2;
            const CVCMeasuredPointGraphicsPatch *marker = editor.Marker(2, r, c);
            QVERIFY(marker);
            const QPoint centre = MarkerCentre(marker);
            const QPoint printed(kSecondArea.left + c * kSecondArea.pitchX + kSecondArea.patchWidth / 2,
                                 kSecondArea.top + r * kSecondArea.pitchY + kSecondArea.patchHeight / 2);
            QVERIFY2((centre - printed).manhattanLength() <= 30,
                     qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
        }
        QCOMPARE(editor.States(), QStringLiteral("001100"));
        QVERIFY(editor.view->SelectionRects().isEmpty());
    }

    // Nothing found: message 29, and the folded deletion leaves nothing to undo in a redrawn view. A result
    // whose points fall short of its patches: message 26.
    void clipFailures_data()
    {
        QTest::addColumn<bool>("blank");
        QTest::addColumn<int>("message");
        QTest::newRow("bare paper") << true << 29;
        QTest::newRow("located points short") << false << 26;
    }
    void clipFailures()
    {
        QFETCH(bool, blank);
        QFETCH(int, message);
        QVERIFY(RecogniseFirstOfTwo(&fixture));
        model = fixture.model.get();
        Editor editor(model, 0, true);
        editor.Show(ModelEntry(model, 0), 50);
        editor.Select({{0, 1, 1}});
        editor.dialog.pushDelete();
        if (blank) {
            PerformDrag(editor.view, {ScenePoint(14000, 10000), ScenePoint(19000, 14000)});
        } else {
            PerformDrag(editor.view, {ScenePoint(9500, 5500), ScenePoint(12500, 9500)});
            ScriptRecognition({kSecondArea}, 1);
        }
        editor.Button("pushClipping")->click();
        QCOMPARE(fixture.window->errors, QList<int>{message});
        QCOMPARE(editor.Markers().size(), 5);
        QVERIFY(!editor.Marker(0, 1, 1));
        QCOMPARE(editor.States(), QStringLiteral("001100"));
        editor.dialog.pushUndo();
        QCOMPARE(editor.Markers().size(), 5);
    }
};

QTEST_MAIN(TestPatchArea)
#include "test_patcharea.moc"
