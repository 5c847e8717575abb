// A chart that is not registered as a job, found by the QR codes on its sheets, measured by the simulated chart
// scanner with the main window (and, for a density chart, the density-balance window) answering the model.
// Boxes go to a recording presenter, or to the harness while the density-balance window is open.
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/messagetables.h"
#include "app/orlosdkcontroller.h"
#include "app/widgets/uipresenter.h"
#include "densityaccess.h"
#include "mainwindow/vcmainwindow.h"
#include "scriptedpresenter.h"

#include "simprint.h"
#include "vexcolor.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// Page 1: one area of 2 x 3; page 2: two areas (2 x 2 above 1 x 3).
const QVector<QVector<OrloSimArea>> kPages = {
    {{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}},
    {{2, 2, 1500, 1500, 1000, 1000, 1200, 1200}, {1, 3, 1500, 6000, 1000, 1000, 1200, 1200}},
};

// "Toner Press Density": a density template the chart scanner (instrument row 0) measures.
constexpr int kDensityTemplateRow = 3;

// Frees the chart copy on every way out of the test.
struct ChartCopy {
    ChartDefinitionDataSheets chart;
    ~ChartCopy() { ClearChartDefinitionData(&chart); }
};

int CountCalls(const QString &log, const QString &function)
{
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

// The test connects the scanner itself; a second connection after the show would only report a failure.
void TurnOffAutomaticConnection(CModel *model)
{
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.AutoConnect = false;
    model->SetUserEnvironment(environment);
}

class RecordingPresenter : public CUiPresenter
{
public:
    QList<RecordBox> boxes;
    void ShowRecord(QWidget *, const RecordBox &box) override { boxes.append(box); }
};

} // namespace

class TestQrRun : public QObject
{
    Q_OBJECT

    RecordingPresenter m_presenter;
    QList<RecordBox> &m_boxes = m_presenter.boxes;

private slots:
    void initTestCase()
    {
        BuildMessageTables();
        CUiPresenter::Install(&m_presenter);
    }
    void cleanupTestCase() { CUiPresenter::Install(nullptr); }
    void init() { m_boxes.clear(); }

    void qrSheetsStartOneRecognitionEach_data()
    {
        QTest::addColumn<int>("pages");      // pages of the chart
        QTest::addColumn<QList<int>>("fed"); // page indices in feeding order
        QTest::addColumn<bool>("preselected");
        QTest::newRow("one page") << 1 << QList<int>{0} << true;
        QTest::newRow("one page, nothing selected") << 1 << QList<int>{0} << false;
        QTest::newRow("two pages") << 2 << QList<int>{0, 1} << true;
        QTest::newRow("two pages, second fed first") << 2 << QList<int>{1, 0} << false;
    }
    void qrSheetsStartOneRecognitionEach()
    {
        QFETCH(int, pages);
        QFETCH(QList<int>, fed);
        QFETCH(bool, preselected);
        ModelFixture f;
        QVERIFY(f.Make());
        f.window.reset();
        CModel *model = f.model.get();
        TurnOffAutomaticConnection(model);
        CVCMainWindow window(model);
        window.show();

        ChartDefinitionDataSheets definition;
        MakePrintableChart(&definition, QStringLiteral("QRRUN"), kPages.mid(0, pages));
        QCOMPARE(model->CreateDesignationChart(&definition), 0);
        ClearChartDefinitionData(&definition);
        const int chartId = model->GetDesignationCharts()->last().ID;
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, chartId, chartId), 0);
        ChartCopy copy;
        CopyChartDefinitionData(&copy.chart, *model->GetChartDefinition());
        const ChartDefinitionDataSheets &chart = copy.chart;
        QCOMPARE(f.ConnectUsb(), 0);
        if (!preselected)
            QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, 0, 0), 0);

        QSignalSpy finished(model, &CModel::MeasurementFinished);
        QSignalSpy display(model, &CModel::SetPatchColorDisplay);
        QSignalSpy created(model, &CModel::CreateDesignationMeasureFinished);
        QSignalSpy updated(model, &CModel::UpdateDesignationMeasureFinished);
        OrloSim_ClearCallLog();
        QString log;
        for (int p : fed) {
            QCOMPARE(InsertPrintedPage(chart, p), 0);
            while (OrloSim_DeliverPending() > 0) {
            }
            log += QString::fromUtf8(OrloSim_CallLog());
            OrloSim_ClearCallLog();
        }
        window.hide();

        // One recognition and one measurement per sheet fed.
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition")), fed.size());
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartMeasurement2")), fed.size());
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.value(0).text));
        int patches = 0;
        for (int p = 0; p < pages; ++p)
            patches += chart.Sheets[p].PatchCount;
        QCOMPARE(display.size(), patches);
        const int id = model->GetNewMeasurementID();
        QCOMPARE(created.size(), 1);
        QCOMPARE(updated.size(), pages - 1);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0), (QList<QVariant>{int(CModel::KindDesignationMeasure), id}));
        QCOMPARE(model->GetDesignationMeasurements()->size(), 1);
        QVERIFY(!model->HasReadBarcodes());

        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDesignationMeasure(id, chartId, &stored), 0);
        QList<int> pageNumbers, recordCounts, expectedCounts;
        for (int p = 0; p < stored.SheetCount; ++p) {
            pageNumbers << stored.Sheets[p].PageNumber;
            recordCounts << stored.Sheets[p].MeasuredCount;
            expectedCounts << chart.Sheets[p].PatchCount;
        }
        ClearMeasureFileData(&stored);
        QCOMPARE(pageNumbers, (QList<int>{1, 2}.mid(0, pages)));
        QCOMPARE(recordCounts, expectedCounts);

        // Every stored block is the one of its own patch: its colour is that of the patch's printed inks.
        QCOMPARE(model->SelectFileID(CModel::KindDesignationMeasure, id, chartId), 0);
        Setting::MeasureConditionSetting conditions = DefaultDisplayColumns();
        conditions.Illuminant = kAutoIlluminantId;
        conditions.WhiteReference = 0;
        const int condition = 1;
        CalColorRecord lab{};
        lab.illuminant = IlluminantCode(AutoIlluminantFor(condition));
        for (int p = 0; p < pages; ++p) {
            for (int k = 0; k < chart.Sheets[p].PatchCount; ++k) {
                const ChartDefinitionData::PatchColor &patch = chart.Sheets[p].Patches[k];
                float values[COrloSDKController::kPatchValueCount] = {};
                bool spectral = false;
                QCOMPARE(model->CalculatePatchColor(values, &spectral, p, patch.Area, patch.Row, patch.Column,
                                                    condition, conditions),
                         0);
                QVERIFY(spectral);
                float reflectance[simprint::kBandCount];
                const PatchInkSet inks = PatchInks(p, k);
                simprint::Reflectance({inks.c, inks.m, inks.y, inks.k}, false, reflectance);
                QCOMPARE(SpectrumToColor(reflectance, simprint::kBandCount, &lab), 0);
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(std::abs(values[4 + c] - lab.values[c]) <= 1e-4f,
                             qPrintable(QStringLiteral("page %1 patch %2").arg(p + 1).arg(k)));
            }
        }
    }

    // The same for a density chart found by its QR code, with the density-balance window opened for the chart's
    // template and the scanner answering.
    void densityQrSheetStartsOneRecognition()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        f.window.reset();
        CModel *model = f.model.get();
        TurnOffAutomaticConnection(model);
        CVCMainWindow window(model);
        window.show();

        ChartCopy copy;
        MakePrintableChart(&copy.chart, QString(), kPages.mid(0, 1));
        QCOMPARE(model->CreateDensityChart(kDensityTemplateRow, 0, &copy.chart), 0);
        const int chartId = model->GetDensityCharts()->last().ID;
        QCOMPARE(model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
        // Its QR code names the chart in capitals.
        copy.chart.ChartName = QStringLiteral("QRDENSITY");
        QCOMPARE(model->RenameDensityChart(copy.chart.ChartName), 0);
        QCOMPARE(model->SelectFileID(CModel::KindDensityChart, 0, 0), 0);

        // Boxes, the selection dialog included, go to the harness while the window is open.
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), [](QDialog *dialog) {
            dialog->findChild<QListWidget *>(QStringLiteral("listTemplate"))->setCurrentRow(kDensityTemplateRow);
            dialog->findChild<QListWidget *>(QStringLiteral("listInstrument"))->setCurrentRow(0);
            dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        });
        Setting::ConnectSetting connection = CModelAccess::ApplicationData(*model)->GetConnectionSetting();
        connection.ConnectionKind = 0;
        connection.Port = QStringLiteral("usb0");
        connection.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(connection);
        CVCAdjustDensity *density = window.GetAdjustDensityWindow();
        QVERIFY(density->OpenAdjustDensity());
        // The QR code names no printer, so the model asks for the save dialog at the run's end.
        script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), nullptr);
        QCOMPARE(density->GetInstrumentNumber(), 0);
        QCOMPARE(model->IsOrloConnected(), 1);
        QTreeWidget *list = CVCAdjustDensityAccess::Form(density)->treeChartList;
        QTreeWidgetItem *chartItem = nullptr;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == chartId)
                chartItem = list->topLevelItem(i);
        }
        QVERIFY(chartItem);
        QCOMPARE(list->currentItem(), nullptr);

        QSignalSpy finished(model, &CModel::MeasurementFinished);
        QSignalSpy densityErrors(model, &CModel::ErrorMessageDensity);
        QSignalSpy found(model, &CModel::FindDensityChartFound);
        OrloSim_ClearCallLog();
        QCOMPARE(InsertPrintedPage(copy.chart, 0), 0);
        while (OrloSim_DeliverPending() > 0) {
        }
        const QString log = QString::fromUtf8(OrloSim_CallLog());
        window.hide();

        QCOMPARE(found.size(), 1);
        QCOMPARE(found.at(0).at(0).toInt(), chartId);
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition")), 1);
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartMeasurement2")), 1);
        QCOMPARE(densityErrors.size(), 0);
        QCOMPARE(finished.size(), 1);
        const int id = model->GetNewMeasurementID();
        QCOMPARE(finished.at(0), (QList<QVariant>{int(CModel::KindDensityMeasure), id}));
        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDensityMeasure(id, chartId, &stored), 0);
        const int sheets = stored.SheetCount;
        const int measured = sheets > 0 ? stored.Sheets[0].MeasuredCount : 0;
        ClearMeasureFileData(&stored);
        QCOMPARE(sheets, 1);
        QCOMPARE(measured, copy.chart.Sheets[0].PatchCount);
        QCOMPARE(chartItem->childCount(), 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.value(0).text));
    }
};

QTEST_MAIN(TestQrRun)
#include "test_qr_run.moc"
