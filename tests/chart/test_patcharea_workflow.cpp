// Editing the measured points of a captured page, start to end, with the real model and the simulated scanner:
// two wrongly found points deleted, a third deleted and restored, an area of new points added, a printed area the
// recognition missed clipped, and the result registered as a new chart.
#include "chart/vcaddmeasurepoint.h"
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifypatcharea.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"
#include "viewprobe.h"

#include "app/orlobuilders.h"

#include <QAbstractButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

using viewprobe::PerformDrag;

namespace {

// The printed page: A 2 x 3 and B 2 x 2 patches of 10 mm along the top, C 3 x 2 patches of 8 mm lower right.
const OrloSimArea kAreaA = {2, 3, 1500, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kAreaB = {2, 2, 6000, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kAreaC = {3, 2, 10000, 6000, 800, 800, 1100, 1100};

// A point in 0.01 mm as a scene position at 254 dpi.
QPointF ScenePoint(int x, int y)
{
    return QPointF(x / 10.0, y / 10.0);
}

// The centre of patch (r, c) of an area, in 0.01 mm.
QPoint PatchCentre(const OrloSimArea &g, int r, int c)
{
    return QPoint(g.left + c * g.pitchX + g.patchWidth / 2, g.top + r * g.pitchY + g.patchHeight / 2);
}

// Makes the next recognition report only A and B, their points at the patch centres.
void ScriptRecognitionMissingC()
{
    ChartDefinitionDataSheets found;
    MakePrintableChart(&found, QStringLiteral("FOUND"), {{kAreaA, kAreaB}}, 0);
    OrloLayoutRecord layout;
    BuildLayoutRecord(found.Sheets[0], &layout, nullptr);
    ClearChartDefinitionData(&found);
    std::vector<OrloMeasurePoint> points;
    const OrloSimArea areas[] = {kAreaA, kAreaB};
    for (int a = 0; a < 2; ++a) {
        for (int r = 0; r < areas[a].rows; ++r) {
            for (int c = 0; c < areas[a].columns; ++c) {
                const QPoint centre = PatchCentre(areas[a], r, c);
                points.push_back({centre.x(), centre.y(), a, r, c});
            }
        }
    }
    OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
}

int MarkerCount(const QGraphicsScene *scene)
{
    int count = 0;
    for (QGraphicsItem *item : scene->items())
        count += dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item) ? 1 : 0;
    return count;
}

} // namespace

class TestPatchAreaWorkflow : public QObject
{
    Q_OBJECT

    ModelFixture fixture;

private slots:
    void editMeasuredPointsAndRegister()
    {
        // The scanner holds a pre-scanned run of the three-area page for the user.
        QVERIFY(fixture.Make());
        CModel *model = fixture.model.get();
        QCOMPARE(fixture.ConnectUsb(), 0);
        OrloSim_ForceStatus(0, -1, -1, -1);
        Setting::UserEnvironment environment = *model->GetUserEnvironment();
        environment.ConfirmChart = true;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, 0, 0), 0);
        ChartDefinitionDataSheets printed;
        MakePrintableChart(&printed, QStringLiteral("WALK"), {{kAreaA, kAreaB, kAreaC}}, 0);
        ScriptRecognitionMissingC();
        QCOMPARE(InsertPrintedPage(printed, 0, false), 0);
        ClearChartDefinitionData(&printed);
        while (OrloSim_DeliverPending() > 0) {
        }
        QVERIFY(model->IsOrloPrescanCompleted());
        fixture.window->errors.clear();
        const int chartsBefore = model->GetDesignationCharts()->size();
        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(model->GetMeasurementData(&measurement), 0);
        QCOMPARE(measurement->Sheets[0].RecordCount, 10);

        CVCModifyPatchArea dialog(nullptr, model, 0, model->IsOrloPrescanCompleted());
        auto *view = dialog.findChild<CVCEditMeasuredPointGraphicsView *>(QStringLiteral("graphicsView"));
        const auto button = [&dialog](const char *name) {
            return dialog.findChild<QAbstractButton *>(QLatin1String(name));
        };
        // A band around the marker at a patch centre, then Delete.
        const auto deleteAt = [view](const QPoint &centre) {
            PerformDrag(view, {ScenePoint(centre.x() - 200, centre.y() - 200),
                               ScenePoint(centre.x() + 200, centre.y() + 200)});
            QTest::keyClick(view, Qt::Key_Delete);
        };

        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCAddMeasurePoint"), [](QDialog *points) {
            points->findChild<QSpinBox *>(QStringLiteral("spinRow"))->setValue(2);
            points->findChild<QSpinBox *>(QStringLiteral("spinColumn"))->setValue(3);
            points->accept();
        });
        script.ExpectDialog(QStringLiteral("CVCModifyChart"), [](QDialog *layout) { layout->accept(); });

        bool walked = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *) {
            // 254 dpi makes a scene pixel 0.1 mm; at 50 % the whole page is in the view.
            view->SetResolution(254, 254);
            view->DrawMeasurement(&measurement->Sheets[0]);
            dialog.findChild<QSlider *>(QStringLiteral("sliderZoom"))->setValue(50);
            QCOMPARE(MarkerCount(view->scene()), 10);

            deleteAt(PatchCentre(kAreaA, 0, 0));
            deleteAt(PatchCentre(kAreaA, 0, 1));
            QCOMPARE(MarkerCount(view->scene()), 8);
            deleteAt(PatchCentre(kAreaB, 0, 0));
            QCOMPARE(MarkerCount(view->scene()), 7);
            QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(MarkerCount(view->scene()), 8);

            // A 2 x 3 area of new points on bare paper.
            PerformDrag(view, {ScenePoint(1500, 9000), ScenePoint(5000, 11500)});
            QVERIFY(button("pushAddMeasurePoint")->isEnabled());
            button("pushAddMeasurePoint")->click();
            QCOMPARE(MarkerCount(view->scene()), 14);

            // The printed area the recognition missed.
            PerformDrag(view, {ScenePoint(9500, 5500), ScenePoint(12500, 9500)});
            QVERIFY(button("pushClipping")->isEnabled());
            button("pushClipping")->click();
            QCOMPARE(MarkerCount(view->scene()), 20);
            QCOMPARE(fixture.window->errors, QList<int>{});

            walked = true;
            button("pushRegisterChart")->click();
        });
        QVERIFY(walked);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, 1);
        QCOMPARE(fixture.window->errors, QList<int>{});
        QCOMPARE(model->GetDesignationCharts()->size(), chartsBefore + 1);

        // The filed chart, read back: A less two points in two areas, B, the added area, then C as clipped.
        ChartDefinitionDataSheets filed;
        QCOMPARE(model->ReadDesignationChart(model->GetDesignationCharts()->last().ID, &filed), 0);
        QCOMPARE(filed.SheetCount, 1);
        QCOMPARE(filed.Recog, int(ChartDefinitionData::RecogCombine));
        const ChartDefinitionData::Sheet &sheet = filed.Sheets[0];
        QCOMPARE(sheet.AreaCount, 5);
        QCOMPARE(sheet.PatchCount, 20);
        QCOMPARE(filed.ChartPatchCount, 20);
        const QVector<QVector<int>> grids = {{1, 1}, {1, 3}, {2, 2}, {2, 3}, {3, 2}};
        for (int a = 0; a < 5; ++a)
            QCOMPARE(QVector<int>({sheet.Areas[a].RowCount, sheet.Areas[a].ColumnCount}), grids.at(a));
        // The deleted points are gone: the first area starts at A's third column.
        QCOMPARE(QPoint(sheet.Placements[0].LeftTopX, sheet.Placements[0].LeftTopY),
                 QPoint(kAreaA.left + 2 * kAreaA.pitchX, kAreaA.top));
        QCOMPARE(sheet.Placements[2].LeftTopX, kAreaB.left);
        QVERIFY(qAbs(sheet.Placements[4].LeftTopX - kAreaC.left) <= 9);
        QVERIFY(qAbs(sheet.Placements[4].LeftTopY - kAreaC.top) <= 9);
        for (int k = 0; k < sheet.PatchCount; ++k)
            QCOMPARE(sheet.Patches[k].ID, k + 1);
        ClearChartDefinitionData(&filed);
    }
};

QTEST_MAIN(TestPatchAreaWorkflow)
#include "test_patcharea_workflow.moc"
