// Density balance with the handheld instrument, column by column: the real model, the simulated handheld and the
// handheld view wired as the density-balance window wires them. Controller ticks are driven directly.

#include "app/tanosdk_patchposition.h"
#include "app/tanosdkcontroller.h"
#include "chart/vchandychartgraphicspatch.h"
#include "chart/vchandychartgraphicsview.h"
#include "modelfixture.h"

#include <QGraphicsScene>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <tuple>
#include <vector>

namespace {

using Position = std::tuple<int, int, int>; // area, row, column

QList<Position> HeldPositions(CModel *model)
{
    QList<TanoSDK_PatchPosition *> held;
    model->GetHandyPatchPositions(held);
    QList<Position> out;
    for (const TanoSDK_PatchPosition *p : held)
        out << Position{p->area, p->row, p->column};
    return out;
}

// One sweep over a column: paper, the patches, paper.
void QueueStrip(int patches)
{
    std::vector<float> inks;
    for (int i = 0; i < patches + 2; ++i) {
        const bool paper = i == 0 || i == patches + 1;
        inks.insert(inks.end(), {0.0f, paper ? 0.0f : 0.2f * float(i), 0.0f, 0.0f});
    }
    PellSim_QueueSamples(inks.data(), patches + 2);
}

} // namespace

class TestHandyWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void columnByColumn()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CModel *model = f.model.get();
        CTanoSDKController *controller = CModelAccess::TanoController(*model);
        controller->SetSleepFunction([](unsigned long) {});
        QStringList warnings;
        CTanoSDKController::SetWarningNotifier([&warnings](const QString &text) { warnings << text; });
        const auto restoreNotifier = qScopeGuard([] { CTanoSDKController::SetWarningNotifier(nullptr); });

        const int chartId = CreateDensityChart(model, SmallGrid{1, 2, 3});
        QVERIFY(chartId > 0);
        QCOMPARE(model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
        model->SetAppStatus(CModel::StatusDensityWithChart);
        int kind = -1, serial = -1;
        QCOMPARE(model->OpenTanoDevice(&kind, &serial), 0);
        QCOMPARE(serial, 1234567);
        QCOMPARE(model->PrepareHandyMeasurement(), 0);
        model->StartTanoPolling();

        CVCHandyChartGraphicsView view;
        connect(&view, &CVCHandyChartGraphicsView::SetPatchPosition, model, &CModel::SetHandyPatchPosition);
        connect(&view, &CVCHandyChartGraphicsView::SetScanMode, model, &CModel::SetHandyScanMode);
        connect(model, &CModel::SetHandyPatchColorDisplay, &view,
                [&view](uint, uint, int area, int row, int column, uint format, float v0, float v1, float v2,
                        float v3, float v4, float v5, float v6, float v7, uint) {
                    ChartDefinitionData::PatchColor patch;
                    patch.Area = area;
                    patch.Row = row;
                    patch.Column = column;
                    patch.ColorFormat = int(format);
                    const float values[] = {v0, v1, v2, v3, v4, v5, v6, v7};
                    std::copy(std::begin(values), std::end(values), patch.ColorValue);
                    emit view.SetPatchColor(patch);
                });
        connect(model, &CModel::HandyMeasurementFinished, &view, &CVCHandyChartGraphicsView::HandyMeasurementFinished);
        QSignalSpy allMeasured(&view, &CVCHandyChartGraphicsView::AllMeasurementFinished);
        QSignalSpy shown(model, &CModel::SetHandyPatchColorDisplay);

        view.DrawSheet(&model->GetChartDefinition()->Sheets[0], 0, 0, 0, nullptr);
        emit view.SetDisplay(1);
        QVERIFY(model->GetHandyScanMode());

        // Columns from the right: C, B, A in view letters; each sweep measures the column the view selected.
        const QList<QList<Position>> columns = {{{0, 0, 2}, {0, 1, 2}}, {{0, 0, 1}, {0, 1, 1}},
                                                {{0, 0, 0}, {0, 1, 0}}};
        QList<Position> order;
        for (const QList<Position> &column : columns) {
            QCOMPARE(HeldPositions(model), column);
            QCOMPARE(allMeasured.size(), 0);
            QueueStrip(column.size());
            PellSim_QueueButton(1, 0); // sweep complete, button released
            controller->waitTimeout();
            order << column;
        }
        QCOMPARE(warnings, QStringList());
        QCOMPARE(f.window->densityErrors, QList<int>());

        // Every patch shows its measured colour, and the selection is back at the first column.
        int patches = 0;
        for (QGraphicsItem *item : view.scene()->items()) {
            if (auto *patch = dynamic_cast<CVCHandyChartGraphicsPatch *>(item)) {
                ++patches;
                QCOMPARE(patch->GetDisplay(), 2);
            }
        }
        QCOMPARE(patches, 6);
        QCOMPARE(allMeasured.size(), 1);
        QCOMPARE(HeldPositions(model), columns.first());

        // One record per press, in handheld order, each stored at its own position.
        QCOMPARE(shown.size(), 6);
        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(model->GetMeasurementData(&measurement), 0);
        QVERIFY(measurement && measurement->Sheets);
        const MeasurementData &page = measurement->Sheets[0];
        QCOMPARE(page.RecordCount, 6);
        QCOMPARE(page.MeasuredCount, 6);
        for (int i = 0; i < shown.size(); ++i) {
            const QList<QVariant> &args = shown.at(i);
            const Position at{args.at(2).toInt(), args.at(3).toInt(), args.at(4).toInt()};
            QCOMPARE(at, order.at(i));
            const MeasurementData::PatchData *record = nullptr;
            for (int k = 0; k < page.RecordCount; ++k) {
                if (Position{page.Records[k].Area, page.Records[k].Row, page.Records[k].Column} == at)
                    record = &page.Records[k];
            }
            QVERIFY(record);
            QCOMPARE(record->ColorFormat, int(ChartDefinitionData::FormatRGB));
            QCOMPARE(record->ColorValue[0], args.at(6).toFloat());
            QVERIFY(record->Values[0] > 0.0f);
        }

        QSignalSpy created(model, &CModel::CreateDensityMeasureFinished);
        QSignalSpy finished(model, &CModel::MeasurementFinished);
        QCOMPARE(model->FinishHandyDensitySheet(), 0);
        QCOMPARE(created.size(), 1);
        QCOMPARE(model->GetDensityMeasurements()->size(), 1);
        const ChartDesigMeasureData &stored = model->GetDensityMeasurements()->last();
        QCOMPARE(stored.ChartID, chartId);
        QCOMPARE(stored.RecordCount, 6);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(CModel::KindDensityMeasure));
        QCOMPARE(finished.at(0).at(1).toInt(), stored.ID);
        QCOMPARE(f.window->densityErrors, QList<int>());
    }
};

QTEST_MAIN(TestHandyWorkflow)
#include "test_handy_workflow.moc"
