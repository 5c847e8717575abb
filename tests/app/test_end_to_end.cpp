// A registered two-page chart measured by the simulated chart scanner, from the chart definition through the
// model to the measurement document on disk.

#include "modelfixture.h"

#include "app/constants.h"
#include "app/documentfiles.h"
#include "app/orlosdkcontroller.h"

#include "simprint.h"
#include "vexcolor.h"

#include <QFileInfo>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Page 1: one area of 4 x 5; page 2: two areas (2 x 3 above 3 x 2). Patches 10 mm on a 12 mm pitch.
const QVector<QVector<OrloSimArea>> kPages = {
    {{4, 5, 1500, 1500, 1000, 1000, 1200, 1200}},
    {{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}, {3, 2, 1500, 6000, 1000, 1000, 1200, 1200}},
};

} // namespace

// The main window as far as a run needs it: takes the chart the scanner asks for, shows and acknowledges
// messages, and notes the thread every slot ran on.
class MeasuringWindow : public QObject
{
    Q_OBJECT
public:
    explicit MeasuringWindow(CModel *model) : m_model(model)
    {
        connect(model, &CModel::ErrorMessage, this, &MeasuringWindow::ErrorMessage);
        connect(model, &CModel::SelectDesigChartFromFileID, this, &MeasuringWindow::SelectDesigChartFromFileID);
        connect(model, &CModel::MeasurementFinished, this, &MeasuringWindow::MeasurementFinished);
        connect(model, &CModel::SetPatchColorDisplay, this, &MeasuringWindow::SetPatchColorDisplay);
        connect(model, &CModel::SetChartDisplay, this, &MeasuringWindow::SetChartDisplay);
        connect(model, &CModel::UpdateOrloStatus, this, &MeasuringWindow::UpdateOrloStatus);
    }
    QList<int> errors;
    QList<int> selections;
    QList<QPair<int, int>> finished;
    QList<uint> chartPages;
    int patches = 0;
    QSet<QThread *> threads;

public slots:
    void ErrorMessage(int message)
    {
        threads << QThread::currentThread();
        errors << message;
        m_model->AcknowledgeError();
    }
    void SelectDesigChartFromFileID(int id)
    {
        threads << QThread::currentThread();
        selections << id;
        m_model->SelectFileID(CModel::KindDesignationChart, id, id);
    }
    void MeasurementFinished(int kind, int id)
    {
        threads << QThread::currentThread();
        finished << qMakePair(kind, id);
        qInfo("MeasurementFinished (%d, %d)", kind, id);
    }
    void SetPatchColorDisplay(uint, uint, int, int, int, uint, float, float, float, float, float, float, float, float)
    {
        threads << QThread::currentThread();
        ++patches;
    }
    void SetChartDisplay(ChartDefinitionDataSheets *, uint page, uint, uint, uint)
    {
        threads << QThread::currentThread();
        chartPages << page;
    }
    void UpdateOrloStatus(int) { threads << QThread::currentThread(); }

private:
    CModel *m_model;
};

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void registeredChartBecomesMeasurement_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::addColumn<bool>("preselected");
        QTest::addColumn<bool>("pagesTogether");
        QTest::addColumn<QString>("name");
        const QString upper = QStringLiteral("ENDTOEND");
        QTest::newRow("manual delivery") << int(OrloSim_Manual) << true << false << upper;
        QTest::newRow("delivery thread") << int(OrloSim_Thread) << true << false << upper;
        QTest::newRow("delivery thread, chart taken at the first sheet")
            << int(OrloSim_Thread) << false << false << upper;
        QTest::newRow("manual delivery, pages fed together") << int(OrloSim_Manual) << true << true << upper;
        QTest::newRow("delivery thread, pages fed together") << int(OrloSim_Thread) << false << true << upper;
        QTest::newRow("manual delivery, lower-case chart taken at the first sheet")
            << int(OrloSim_Manual) << false << false << QStringLiteral("EndToEnd");
    }
    void registeredChartBecomesMeasurement()
    {
        QFETCH(int, delivery);
        QFETCH(bool, preselected);
        QFETCH(bool, pagesTogether);
        QFETCH(QString, name);
        ModelFixture f;
        QVERIFY(f.Make());
        f.window.reset();
        MeasuringWindow window(f.model.get());
        CModel *model = f.model.get();

        ChartDefinitionDataSheets definition;
        MakePrintableChart(&definition, name, kPages);
        QCOMPARE(model->CreateDesignationChart(&definition), 0);
        ClearChartDefinitionData(&definition);
        const int chartId = model->GetDesignationCharts()->last().ID;
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, chartId, chartId), 0);
        const ChartDefinitionDataSheets &chart = *model->GetChartDefinition();
        QCOMPARE(chart.SheetCount, 2);

        OrloSim_SetDelivery(delivery);
        QCOMPARE(f.ConnectUsb(), 0);
        QCOMPARE(model->RegisterDesignationChartJob(), 0);
        if (!preselected)
            QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, 0, 0), 0);

        // Each page goes in once the scanner waits for it, as the user feeds them, or all are in the feeder
        // before the first is taken.
        QSignalSpy finishedSpy(model, &CModel::MeasurementFinished);
        for (int p = 0; pagesTogether && p < chart.SheetCount; ++p)
            QCOMPARE(InsertPrintedPage(chart, p), 0);
        for (int p = 0; p < chart.SheetCount; ++p) {
            if (!pagesTogether)
                QCOMPARE(InsertPrintedPage(chart, p), 0);
            if (delivery == OrloSim_Manual) {
                while (OrloSim_DeliverPending() > 0) {
                }
            } else if (p + 1 < chart.SheetCount) {
                if (pagesTogether)
                    continue;
                // Waiting for the next page once the end of this one has been handled to the last event.
                QTRY_VERIFY_WITH_TIMEOUT(model->GetOrloDeviceState() == 9 &&
                                             CModelAccess::OrloController(*model)->GetLastEvent() == 1 &&
                                             OrloSim_PendingEvents() == 0,
                                         120000);
            } else {
                QVERIFY(finishedSpy.wait(120000));
                // The run ends with the instrument back at its waiting state.
                QTRY_COMPARE_WITH_TIMEOUT(model->GetOrloDeviceState(), 2, 30000);
                QTRY_VERIFY_WITH_TIMEOUT(OrloSim_PendingEvents() == 0 &&
                                             CModelAccess::OrloController(*model)->QueuedEventCount() == 0,
                                         30000);
            }
        }
        QCOMPARE(window.threads, QSet<QThread *>{QThread::currentThread()});

        QCOMPARE(window.errors, QList<int>{});
        QCOMPARE(window.selections, preselected ? QList<int>{} : QList<int>{chartId});
        const int id = model->GetNewMeasurementID();
        QVERIFY(id > 0);
        QCOMPARE(window.finished, (QList<QPair<int, int>>{{CModel::KindDesignationMeasure, id}}));
        QCOMPARE(window.chartPages, (QList<uint>{1, 2}));
        QCOMPARE(window.patches, chart.ChartPatchCount);
        QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 0u);
        QVERIFY(!model->HasReadBarcodes());

        const QString path = CModelAccess::DocumentData(*model)->DesignationMeasurePath(chartId, id);
        qInfo("measurement file %s", qPrintable(path));
        QVERIFY(QFileInfo::exists(path));
        ChartDesigMeasureData record;
        MeasurementDataSheets measurement;
        QCOMPARE(ReadMeasureFile(&record, &measurement, path), 0);
        QCOMPARE(measurement.SheetCount, 2);
        for (int p = 0; p < measurement.SheetCount; ++p) {
            const MeasurementData &page = measurement.Sheets[p];
            QCOMPARE(page.PageNumber, p + 1);
            QCOMPARE(page.RecordCount, chart.Sheets[p].PatchCount);
            for (int r = 0; r < page.RecordCount; ++r) {
                const float *block = page.Records[r].Values;
                QVERIFY2(std::any_of(block, block + kInstrumentValueCount, [](float v) { return v != 0.0f; }),
                         qPrintable(QStringLiteral("page %1 record %2").arg(p + 1).arg(r)));
            }
        }
        ClearMeasureFileData(&measurement);

        // The stored block of the last patch of page 2 gives the colour of its printed inks.
        QCOMPARE(model->SelectFileID(CModel::KindDesignationMeasure, id, chartId), 0);
        Setting::MeasureConditionSetting conditions = DefaultDisplayColumns();
        conditions.Illuminant = kAutoIlluminantId;
        conditions.WhiteReference = 0;
        const int condition = 1;
        float values[COrloSDKController::kPatchValueCount] = {};
        bool spectral = false;
        QCOMPARE(model->CalculatePatchColor(values, &spectral, 1, 1, 2, 1, condition, conditions), 0);
        QVERIFY(spectral);
        float reflectance[simprint::kBandCount];
        const PatchInkSet inks = PatchInks(1, chart.Sheets[1].PatchCount - 1);
        simprint::Reflectance({inks.c, inks.m, inks.y, inks.k}, false, reflectance);
        CalColorRecord lab{};
        lab.type = 0;
        lab.observer = 0;
        lab.illuminant = IlluminantCode(AutoIlluminantFor(condition));
        QCOMPARE(SpectrumToColor(reflectance, simprint::kBandCount, &lab), 0);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::abs(values[4 + c] - lab.values[c]) <= 1e-4f,
                     qPrintable(QStringLiteral("%1: %2 against %3").arg(c).arg(values[4 + c]).arg(lab.values[c])));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
