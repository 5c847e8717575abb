// A chart imported from a CGATS file, printed and measured by the simulated scanner through the main window:
// the chart-matching warning answered with Measurement, the canvas following each patch, then a patch's values
// against the simulator's print model and the measurement exported as CGATS text.
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/orlobuilders.h"
#include "chart/vcchartgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "programfixture.h"
#include "scriptedpresenter.h"

#include "simprint.h"
#include "vexcolor.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

using namespace QtCharts;

namespace {

// Ink as the printed sheet holds it: 8 bits per ink.
float Printed(float percent)
{
    return float(std::lround(std::clamp(percent / 100.0f, 0.0f, 1.0f) * 255.0f)) / 255.0f;
}

} // namespace

class TestMeasureWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { BuildMessageTables(); }

    void importMeasureInspectExport()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        f.window.reset();
        CModel *model = f.model.get();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Setting::UserEnvironment environment = *model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
        // Two conditions; condition 1 with the automatic illuminant and no paper white, as the print model reads.
        Setting::MeasureConditionSetting block = *model->GetMeasurementCondition(0);
        block.ConditionMask = MeasurementConditionBit(0) | MeasurementConditionBit(1);
        block.Illuminant = kAutoIlluminantId;
        block.WhiteReference = 0;
        QCOMPARE(model->SetMeasureCondition(block, 0), 0);

        ScriptedPresenter script;
        CVCMainWindow window(model);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("treeDesignation"));

        // Import: 100 patches are asked rows by columns, 10 x 10 offered.
        const QString cgats = QFINDTESTDATA("data/chart_rows_columns.txt");
        script.ExpectOpenFile(QStringLiteral("Open"), cgats, QStringLiteral("cgats File (*.txt)"));
        script.ExpectDialog(QStringLiteral("CVCInputChartLayout"), [](QDialog *dialog) {
            QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("spinRow"))->value(), 10);
            QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("spinColumn"))->value(), 10);
            dialog->accept();
        });
        window.actionFileOpenTriggered();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const int chartId = model->GetDesignationCharts()->last().ID;
        QTreeWidgetItem *chartItem = tree->currentItem();
        QVERIFY(chartItem && chartItem->data(0, Qt::UserRole).toInt() == chartId);
        const ChartDefinitionDataSheets *chart = model->GetChartDefinition();
        QVERIFY(chart && chart->SheetCount == 1);
        const ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
        QCOMPARE(sheet.PatchCount, 100);
        QCOMPARE(sheet.Areas[0].RowCount, 10);

        QCOMPARE(f.ConnectUsb(), 0);
        chartItem->setCheckState(0, Qt::Checked);
        while (OrloSim_DeliverPending() > 0) {
        }

        // The scanner sees the 10 rows as two areas of 5; its points are the chart's own patch centres.
        OrloLayoutRecord layout;
        BuildLayoutRecord(sheet, &layout, nullptr);
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[0];
        layout.areaCount = 2;
        for (int a = 0; a < 2; ++a) {
            layout.areaCounts[a][0] = 5;
            layout.areaCounts[a][1] = 10;
            layout.areaCounts[a][2] = 50;
            const int32_t geometry[6] = {g.LeftTopX, g.LeftTopY + 5 * a * g.PatchHeightGap, g.PatchWidth,
                                         g.PatchHeight, g.PatchWidthGap, g.PatchHeightGap};
            std::copy(geometry, geometry + 6, layout.areaGeometry[a]);
        }
        std::vector<OrloMeasurePoint> points;
        for (int r = 0; r < 10; ++r)
            for (int c = 0; c < 10; ++c)
                points.push_back({g.LeftTopX + c * g.PatchWidthGap + g.PatchWidth / 2,
                                  g.LeftTopY + r * g.PatchHeightGap + g.PatchHeight / 2, 0, r, c});
        OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
        // The warning waits for the user only while the scanner reports no run of its own.
        OrloSim_ForceStatus(0, -1, -1, -1);

        bool warned = false;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            // Two areas found where the chart has one.
            QCOMPARE(box->text(), FindMatchingWarningRecord(3).message);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("Measurement"));
            warned = true;
            OrloSim_ForceStatus(-1, -1, -1, -1);
            box->button(QMessageBox::Ok)->click();
        });
        auto *bar = window.findChild<QProgressBar *>(QStringLiteral("progressChartLayout"));
        auto *label = window.findChild<QLabel *>(QStringLiteral("labelChartLayoutMeasuredPatchCount"));
        auto *view = window.findChild<CVCChartGraphicsView *>(QStringLiteral("graphicsViewChartLayout"));
        QVERIFY(bar && label && view);
        QList<int> progress;
        QStringList counts;
        int coloured = 0;
        QList<int> colouredSoFar;
        // Connected after the window's own slots, so each step is seen as the window left it.
        const auto perPatch = connect(model, &CModel::SetPatchColorDisplay, &window, [&] {
            progress << bar->value();
            counts << label->text();
            colouredSoFar << coloured;
        });
        const auto perColour = connect(view, &CVCGraphicsView::SetPatchColor, &window, [&] { ++coloured; });
        ChartDefinitionDataSheets printed;
        CopyChartDefinitionData(&printed, *chart);
        // The import numbers patches column by column; the printer takes them row by row.
        ChartDefinitionData::PatchColor *first = printed.Sheets[0].Patches.get();
        std::sort(first, first + printed.Sheets[0].PatchCount,
                  [](const ChartDefinitionData::PatchColor &a, const ChartDefinitionData::PatchColor &b) {
                      return std::tie(a.Area, a.Row, a.Column) < std::tie(b.Area, b.Row, b.Column);
                  });
        const int inserted = InsertPrintedPage(printed, 0, false);
        ClearChartDefinitionData(&printed);
        QCOMPARE(inserted, 0);
        while (OrloSim_DeliverPending() > 0) {
        }
        disconnect(perPatch);
        disconnect(perColour);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(warned);

        // Each step colours its own patch before the next one comes.
        QCOMPARE(progress.size(), 100);
        for (int k = 0; k < colouredSoFar.size(); ++k)
            QCOMPARE(colouredSoFar.at(k), k + 1);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QCOMPARE(progress.last(), 100);
        QCOMPARE(counts.first(), QStringLiteral("1 / 100"));
        QCOMPARE(counts.last(), QStringLiteral("100 / 100"));
        const int measureId = model->GetNewMeasurementID();
        QTreeWidgetItem *current = tree->currentItem();
        QVERIFY(current && current->parent() == chartItem);
        QCOMPARE(current->data(0, Qt::UserRole).toInt(), measureId);
        QVERIFY(current->isSelected());

        // A click on patch (row 3, column 7): Lab and spectrum of its printed inks, one series per condition.
        const int row = 3, column = 7;
        const ChartDefinitionData::Sheet &page = model->GetChartDefinition()->Sheets[0];
        const ChartDefinitionData::PatchColor *begin = page.Patches.get();
        const ChartDefinitionData::PatchColor *end = begin + page.PatchCount;
        const ChartDefinitionData::PatchColor *found =
            std::find_if(begin, end, [&](const ChartDefinitionData::PatchColor &p) {
                return p.Area == 0 && p.Row == row && p.Column == column;
            });
        QVERIFY(found != end);
        const ChartDefinitionData::PatchColor &patch = *found;
        const simprint::Inks inks{Printed(patch.ColorValue[0]), Printed(patch.ColorValue[1]),
                                  Printed(patch.ColorValue[2]), Printed(patch.ColorValue[3])};
        float reflectance[simprint::kBandCount];
        simprint::Reflectance(inks, false, reflectance);
        CalColorRecord lab{};
        lab.illuminant = IlluminantCode(AutoIlluminantFor(1));
        QCOMPARE(SpectrumToColor(reflectance, simprint::kBandCount, &lab), 0);

        emit view->SelectPatch(0, row, column);
        auto *values = window.findChild<QTreeWidget *>(QStringLiteral("treeMeasureData"));
        QCOMPARE(values->columnCount(), 3);
        const QTreeWidgetItem *labRow = values->topLevelItem(2)->child(0);
        for (int i = 0; i < 3; ++i) {
            // Shown with two decimals.
            const double shown = labRow->child(i)->text(2).toDouble();
            QVERIFY2(std::abs(shown - double(lab.values[i])) <= 0.005 + 1e-3,
                     qPrintable(QStringLiteral("%1: %2 against %3").arg(i).arg(shown).arg(lab.values[i])));
        }
        QChart *graph =
            window.findChild<QWidget *>(QStringLiteral("dockSpectrumGraph"))->findChild<QChartView *>()->chart();
        QCOMPARE(graph->series().size(), 2);
        for (QAbstractSeries *series : graph->series()) {
            const QVector<QPointF> curve = qobject_cast<QLineSeries *>(series)->pointsVector();
            QCOMPARE(curve.size(), simprint::kBandCount);
        }
        // The tree shows the reflectance in percent with two decimals, the graph as a fraction with two.
        const QTreeWidgetItem *spectralRow = values->topLevelItem(3);
        QCOMPARE(spectralRow->childCount(), simprint::kBandCount);
        const QVector<QPointF> curve = qobject_cast<QLineSeries *>(graph->series().at(1))->pointsVector();
        for (int i = 0; i < simprint::kBandCount; ++i) {
            const double shown = spectralRow->child(i)->text(2).chopped(1).toDouble() / 100.0;
            QVERIFY2(std::abs(shown - double(reflectance[i])) <= 1e-3,
                     qPrintable(QStringLiteral("%1 nm: %2 against %3").arg(380 + 10 * i).arg(shown).arg(
                         reflectance[i])));
            QVERIFY(std::abs(curve.at(i).y() - double(reflectance[i])) <= 0.005 + 1e-3);
        }

        // Exported as CGATS text, one file for both conditions: Little CMS reads 100 sets.
        environment = *model->GetUserEnvironment();
        environment.AllConditionsInOneFile = 1;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
        const QString path = dir.filePath(QStringLiteral("run.txt"));
        script.ExpectSaveFile(QStringLiteral("Save"), path, OutputFormatFilters().at(3));
        window.actionFileSaveMeasureDataTriggered();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QProcess check;
        check.start(QCoreApplication::applicationDirPath() + QStringLiteral("/cgats_check"), {path});
        QVERIFY(check.waitForFinished(30000));
        const QString out = QString::fromUtf8(check.readAllStandardOutput());
        QVERIFY2(check.exitCode() == 0, qPrintable(out + QString::fromUtf8(check.readAllStandardError())));
        QVERIFY2(out.contains(QRegularExpression(QStringLiteral("^table \\d+ sets 100 rows 100$"),
                                                 QRegularExpression::MultilineOption)),
                 qPrintable(out));
        window.hide();
    }
};

QTEST_MAIN(TestMeasureWorkflow)
#include "test_measure_workflow.moc"
