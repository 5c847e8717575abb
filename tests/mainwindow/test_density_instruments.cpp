// The density-balance window's instrument: Connect and Disconnect bound to the scanner or the handheld, made once
// however often the window opens; the connection settings after a failed connect; the handheld's status texts; and
// a handheld run started, measured press by press, finished or cancelled. The scanner is the simulated one in manual
// delivery, the handheld the simulated one; the button poll is stepped by hand.
#include "tests/app/modelfixture.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "app/tanosdk_patchposition.h"
#include "app/tanosdkcontroller.h"
#include "chart/vchandychartgraphicspatch.h"
#include "chart/vchandychartgraphicsview.h"
#include "densityaccess.h"
#include "scriptedpresenter.h"

#include <QDockWidget>
#include <QGraphicsScene>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <vector>

using Access = CVCAdjustDensityAccess;

namespace {

constexpr int kScanner = 0;
constexpr int kHandheld = 1;

QStringList CallNames(const char *log)
{
    QStringList names;
    for (const QString &line : QString::fromUtf8(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        names << line.section(QLatin1Char('('), 0, 0).trimmed();
    return names;
}

int CountCalls(const char *log, const QString &function)
{
    return CallNames(log).count(function);
}

// One sweep over a column: paper, the patches, paper.
void QueueStrip(int patches)
{
    std::vector<float> inks;
    for (int i = 0; i < patches + 2; ++i) {
        const bool paper = i == 0 || i == patches + 1;
        inks.insert(inks.end(), {0.0f, paper ? 0.0f : 0.3f, 0.0f, 0.0f});
    }
    PellSim_QueueSamples(inks.data(), patches + 2);
}

} // namespace

class TestDensityInstruments : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCAdjustDensity> m_window;

    Ui::AdjustDensity *Form() const { return Access::Form(m_window.get()); }
    CTanoSDKController *Tano() const { return CModelAccess::TanoController(*m_model); }

    void SetUsbConnection()
    {
        Setting::ConnectSetting record = CModelAccess::ApplicationData(*m_model)->GetConnectionSetting();
        record.ConnectionKind = 0;
        record.Port = QStringLiteral("usb0");
        record.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*m_model)->SetConnectionSetting(record);
    }

    // What a handheld run locks and unlocks, with the poll and the busy flag.
    struct RunControls {
        bool listEnabled, fileEnabled, settingEnabled, disconnectEnabled;
        bool cancelShown, measurementShown, measurementEnabled, busy, polling;
        bool operator==(const RunControls &o) const
        {
            return listEnabled == o.listEnabled && fileEnabled == o.fileEnabled &&
                   settingEnabled == o.settingEnabled && disconnectEnabled == o.disconnectEnabled &&
                   cancelShown == o.cancelShown && measurementShown == o.measurementShown &&
                   measurementEnabled == o.measurementEnabled && busy == o.busy && polling == o.polling;
        }
    };
    static QString Describe(const RunControls &c)
    {
        return QStringLiteral("list %1 file %2 setting %3 disconnect %4 cancel %5 measurement %6/%7 busy %8 poll %9")
            .arg(c.listEnabled).arg(c.fileEnabled).arg(c.settingEnabled).arg(c.disconnectEnabled)
            .arg(c.cancelShown).arg(c.measurementShown).arg(c.measurementEnabled).arg(c.busy).arg(c.polling);
    }
    RunControls Controls() const
    {
        return {Form()->dockChartList->isEnabled(),
                Form()->menuFile->isEnabled(),
                Form()->menuSetting->isEnabled(),
                Form()->actionOrloDisconnect->isEnabled(),
                !Form()->pushHandyDensitometerChartLayoutCancel->isHidden(),
                !Form()->pushHandyDensitometerChartLayoutMeasurement->isHidden(),
                Form()->pushHandyDensitometerChartLayoutMeasurement->isEnabled(),
                Access::Busy(m_window.get()),
                Tano()->IsWaiting()};
    }
    // The window at rest in handheld mode, as opening leaves it.
    static RunControls Idle() { return {true, true, true, true, false, true, true, false, false}; }

    // A density chart of one row and two columns for the handheld, stored in the model.
    int CreateHandheldChart()
    {
        ChartDefinitionDataSheets chart;
        InitChartDefinitionData(&chart);
        chart.Kind = ChartDefinitionData::KindDensity;
        chart.SheetCount = 1;
        chart.Recog = 1;
        chart.Diameter = 1;
        chart.Sheets = NewChartSheets(1);
        chart.Sheets[0] = MakeSmallSheet(SmallGrid{1, 1, 2}, false);
        chart.ChartPatchCount = chart.Sheets[0].PatchCount;
        const int result = m_model->CreateDensityChart(0, kHandheld, &chart);
        ClearChartDefinitionData(&chart);
        return result == 0 ? m_model->GetDensityCharts()->last().ID : 0;
    }

    QTreeWidgetItem *ChartItem(int chartId) const
    {
        QString name;
        for (const DensityBalanceData &chart : *m_model->GetDensityCharts()) {
            if (chart.ID == chartId)
                name = chart.ChartName;
        }
        QTreeWidget *tree = Form()->treeChartList;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            if (tree->topLevelItem(i)->text(0) == name)
                return tree->topLevelItem(i);
        }
        return nullptr;
    }

    // The handheld window with the chart made current through its list item.
    int ShowHandheldChart()
    {
        const int chartId = CreateHandheldChart();
        if (chartId <= 0)
            return 0;
        Access::UseTemplate(m_window.get(), 0, kHandheld);
        QTreeWidgetItem *item = ChartItem(chartId);
        if (!item)
            return 0;
        Form()->treeChartList->setCurrentItem(item);
        Form()->pushHandyDensitometerChartLayoutCancel->hide();
        Form()->pushHandyDensitometerChartLayoutMeasurement->setEnabled(true);
        return chartId;
    }

    // One column of one patch swept, then the button pressed: a released state first, as the poll wants.
    void PressOnce()
    {
        QueueStrip(1);
        PellSim_QueueButton(0, 0);
        Tano()->waitTimeout();
        PellSim_QueueButton(1, 0);
        Tano()->waitTimeout();
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        m_window = std::make_unique<CVCAdjustDensity>(m_model);
        Tano()->SetSleepFunction([](unsigned long) {});
    }

    void cleanup()
    {
        m_window.reset();
        f.reset();
    }

    void bindingsFollowTheMode_data()
    {
        QTest::addColumn<QList<int>>("openings");
        QTest::newRow("scanner") << QList<int>{kScanner};
        QTest::newRow("scanner twice") << QList<int>{kScanner, kScanner};
        QTest::newRow("handheld") << QList<int>{kHandheld};
        QTest::newRow("handheld twice") << QList<int>{kHandheld, kHandheld};
        QTest::newRow("handheld after scanner") << QList<int>{kScanner, kHandheld};
        QTest::newRow("scanner after handheld") << QList<int>{kHandheld, kScanner, kScanner};
    }

    void bindingsFollowTheMode()
    {
        QFETCH(QList<int>, openings);
        SetUsbConnection();
        for (int instrument : openings)
            Access::UseTemplate(m_window.get(), 0, instrument);
        const bool scanner = openings.last() == kScanner;
        OrloSim_ClearCallLog();
        PellSim_ClearCallLog();
        QSignalSpy orloConnected(m_window.get(), &CVCAdjustDensity::setOrloConnected);
        QSignalSpy handyConnected(m_window.get(), &CVCAdjustDensity::setHandyConnected);

        Form()->actionOrloConnect->trigger();
        // One connect per click, however often the window was opened.
        QCOMPARE(orloConnected.count(), scanner ? 1 : 0);
        QCOMPARE(handyConnected.count(), scanner ? 0 : 1);
        QCOMPARE(CountCalls(OrloSim_CallLog(), QStringLiteral("Orlo_Connect")), scanner ? 1 : 0);
        QCOMPARE(CountCalls(PellSim_CallLog(), QStringLiteral("ZUEnumDevice")), scanner ? 0 : 1);
        QCOMPARE(m_model->IsOrloConnected() != 0, scanner);
        QCOMPARE(m_model->IsHandyConnected(), !scanner);
        QVERIFY(Form()->actionOrloConnect->isVisible() == false);
        QVERIFY(Form()->actionOrloDisconnect->isVisible());
        QCOMPARE(Access::OrloConnectLabel(m_window.get())->text().startsWith(QLatin1String("Orlo")), scanner);
        QCOMPARE(Access::HandyConnectLabel(m_window.get())->text(),
                 scanner ? QString() : QStringLiteral("Calen 1234567"));

        OrloSim_ClearCallLog();
        PellSim_ClearCallLog();
        Form()->actionOrloDisconnect->trigger();
        QCOMPARE(orloConnected.count(), scanner ? 2 : 0);
        QCOMPARE(handyConnected.count(), scanner ? 0 : 2);
        QCOMPARE(CountCalls(OrloSim_CallLog(), QStringLiteral("Orlo_Disconnect")), scanner ? 1 : 0);
        QCOMPARE(CountCalls(PellSim_CallLog(), QStringLiteral("ZUCloseDevice")), scanner ? 0 : 1);
        QCOMPARE(m_model->IsOrloConnected(), 0);
        QVERIFY(!m_model->IsHandyConnected());
        QVERIFY(Form()->actionOrloConnect->isVisible());
        QVERIFY(!Form()->actionOrloDisconnect->isVisible());
        QVERIFY(Access::OrloConnectLabel(m_window.get())->text().isEmpty());
        QVERIFY(Access::HandyConnectLabel(m_window.get())->text().isEmpty());
    }

    // A failed connect opens the connection settings at status 13; each acceptance retries without a search.
    void failedConnectOpensTheSettings_data()
    {
        QTest::addColumn<int>("failedRetries");
        QTest::addColumn<bool>("acceptLast");
        QTest::addColumn<bool>("withCurrentItem");
        QTest::newRow("rejected") << 0 << false << false;
        QTest::newRow("accepted, connects") << 0 << true << true;
        QTest::newRow("retry fails, accepted again") << 1 << true << false;
        QTest::newRow("retry fails, then rejected") << 1 << false << true;
    }

    void failedConnectOpensTheSettings()
    {
        QFETCH(int, failedRetries);
        QFETCH(bool, acceptLast);
        QFETCH(bool, withCurrentItem);
        SetUsbConnection();
        Access::UseTemplate(m_window.get(), 0, kScanner);
        m_model->SetAppStatus(CModel::StatusDensityWithoutChart);
        if (withCurrentItem) {
            auto *item = new QTreeWidgetItem(Form()->treeChartList, QStringList(QStringLiteral("A4_1")));
            Form()->treeChartList->setCurrentItem(item);
        }
        QList<int> statusInside;
        ScriptedPresenter script;
        for (int i = 0; i <= failedRetries; ++i) {
            const bool last = i == failedRetries;
            // The model reports each failed connect through the window before the settings open.
            script.ExpectRecord(QStringLiteral("Failed to connect to Orlo."));
            script.ExpectDialog(QStringLiteral("CVCConnectSetting"), [&, last](QDialog *dialog) {
                statusInside << m_model->GetOperationState();
                QCOMPARE(m_model->IsOrloConnected(), 0);
                if (!last)
                    OrloSim_FailNext("Orlo_Connect", 1);
                dialog->done(last && !acceptLast ? 0 : 1);
            });
        }
        OrloSim_FailNext("Orlo_Connect", 1);
        OrloSim_FailNext("Orlo_GetDeviceList", 1);
        m_window->actionOrloConnectTriggered(true);

        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusInside, QVector<int>(failedRetries + 1, int(CModel::StatusDensityConnectSettings)).toList());
        QCOMPARE(m_model->GetOperationState(),
                 int(withCurrentItem ? CModel::StatusDensityWithChart : CModel::StatusDensityWithoutChart));
        QCOMPARE(m_model->IsOrloConnected() != 0, acceptLast);
        QCOMPARE(Form()->actionOrloDisconnect->isVisible(), acceptLast);
        QCOMPARE(Form()->actionOrloConnect->isVisible(), !acceptLast);
        QCOMPARE(Access::OrloConnectLabel(m_window.get())->text().isEmpty(), !acceptLast);
        QVERIFY(!Access::NoticeBox(m_window.get()).isVisible());
    }

    void disconnectEndsTheJobsFirst()
    {
        SetUsbConnection();
        Access::UseTemplate(m_window.get(), 0, kScanner);
        Form()->actionOrloConnect->trigger();
        QVERIFY(m_model->IsOrloConnected() != 0);
        const int chartId = CreateDensityChart(m_model, SmallGrid{1, 2, 2});
        QVERIFY(chartId > 0);
        QCOMPARE(m_model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
        QCOMPARE(m_model->RegisterDensityChartJob(), 0);
        OrloSim_ClearCallLog();

        Form()->actionOrloDisconnect->trigger();
        const QStringList calls = CallNames(OrloSim_CallLog());
        QCOMPARE(calls.count(QStringLiteral("Orlo_Disconnect")), 1);
        QCOMPARE(m_model->IsOrloConnected(), 0);
        QVERIFY(Form()->actionOrloConnect->isVisible());
        // Every job deletion the disconnect caused came before the connection ended.
        const int disconnectAt = calls.indexOf(QStringLiteral("Orlo_Disconnect"));
        QVERIFY(calls.lastIndexOf(QStringLiteral("Orlo_DeleteJob")) < disconnectAt);
    }

    void handheldKinds_data()
    {
        QTest::addColumn<int>("modelCode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("Brisa") << 100 << 1 << QStringLiteral("Brisa 1234567");
        QTest::newRow("Calen") << 200 << 2 << QStringLiteral("Calen 1234567");
        QTest::newRow("Calen variant") << 210 << 3 << QString();
    }

    void handheldKinds()
    {
        QFETCH(int, modelCode);
        QFETCH(int, kind);
        QFETCH(QString, text);
        PellSim_SetModelCode(modelCode);
        Access::UseTemplate(m_window.get(), 0, kHandheld);
        Form()->actionOrloConnect->trigger();
        QCOMPARE(Access::HandyResult(m_window.get()), 0);
        QCOMPARE(Access::HandyKind(m_window.get()), kind);
        QCOMPARE(Access::HandySerial(m_window.get()), 1234567);
        QCOMPARE(Access::HandyConnectLabel(m_window.get())->text(), text);
        QVERIFY(Form()->actionOrloDisconnect->isVisible());
        QVERIFY(!Form()->actionOrloConnect->isVisible());

        // A second connect finds the instrument open and keeps what it read.
        Form()->actionOrloConnect->trigger();
        QCOMPARE(Access::HandyKind(m_window.get()), kind);
        QCOMPARE(Access::HandyConnectLabel(m_window.get())->text(), text);
    }

    void handheldConnectFailure()
    {
        PellSim_Unplug();
        Access::UseTemplate(m_window.get(), 0, kHandheld);
        Form()->actionOrloConnect->trigger();
        QVERIFY(Access::HandyResult(m_window.get()) != 0);
        QCOMPARE(Access::HandyKind(m_window.get()), 0);
        QCOMPARE(Access::HandySerial(m_window.get()), 0);
        QVERIFY(Access::HandyConnectLabel(m_window.get())->text().isEmpty());
        QVERIFY(Form()->actionOrloConnect->isVisible());
        QVERIFY(!Form()->actionOrloDisconnect->isVisible());
    }

    // Nothing of a run starts when the instrument cannot be reached, nothing is selected, or the store is full.
    void measurementRefused_data()
    {
        QTest::addColumn<QString>("cause");
        // The model's report, shown by the window; empty: none.
        QTest::addColumn<QString>("report");
        QTest::newRow("unplugged") << QStringLiteral("unplugged") << QStringLiteral("Failed to connect to instrument.");
        QTest::newRow("no current item") << QStringLiteral("nothing selected") << QString();
        QTest::newRow("store full") << QStringLiteral("store full")
                                    << QStringLiteral("reached the maximum number.\nPlease create a new data group.");
    }

    void measurementRefused()
    {
        QFETCH(QString, cause);
        QFETCH(QString, report);
        Access::UseTemplate(m_window.get(), 0, kHandheld);
        Form()->pushHandyDensitometerChartLayoutCancel->hide();
        if (cause != QLatin1String("nothing selected")) {
            const int chartId = CreateHandheldChart();
            QVERIFY(chartId > 0);
            QCOMPARE(m_model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
        }
        if (cause == QLatin1String("unplugged"))
            PellSim_Unplug();
        if (cause == QLatin1String("store full")) {
            auto *recognitions = const_cast<QList<ChartRecogData> *>(m_model->GetRecognitionMeasurements());
            for (int i = 0; i < CDocumentData::kMeasurementStoreLimit; ++i) {
                ChartRecogData filler;
                filler.ID = 50000 + i;
                recognitions->append(filler);
            }
        }
        m_model->SetAppStatus(CModel::StatusDensityWithoutChart);
        // As opening leaves it, Measurement enabled even without an item; with nothing selected the instrument is
        // connected already, so only the model's refusal is left to stop the run.
        m_window->setHandyConnect(false);
        if (cause == QLatin1String("nothing selected"))
            Form()->actionOrloConnect->trigger();
        Form()->pushHandyDensitometerChartLayoutMeasurement->setEnabled(true);
        const RunControls before = Controls();
        QSignalSpy reported(m_model, &CModel::ErrorMessageDensity);
        QSignalSpy shown(m_window.get(), &CVCAdjustDensity::handyChartLayoutSetDisplay);
        ScriptedPresenter script;
        if (!report.isEmpty())
            script.ExpectRecord(report);

        m_window->pushHandyDensitometerChartLayoutMeasurementClicked();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY2(Controls() == before, qPrintable(Describe(Controls())));
        QCOMPARE(shown.count(), 0);
        if (cause == QLatin1String("store full")) {
            QCOMPARE(reported.count(), 1);
            QCOMPARE(reported.at(0).at(0).toInt(), 52);
            // The limit is checked before the instrument is touched.
            QVERIFY(!m_model->IsHandyConnected());
        }
    }

    void fullRunStoresTheMeasurement()
    {
        const int chartId = ShowHandheldChart();
        QVERIFY(chartId > 0);
        QSignalSpy created(m_model, &CModel::CreateDensityMeasureFinished);
        QSignalSpy display(m_window.get(), &CVCAdjustDensity::handyChartLayoutSetDisplay);

        m_window->pushHandyDensitometerChartLayoutMeasurementClicked();
        RunControls running = Idle();
        running.listEnabled = running.fileEnabled = running.settingEnabled = running.disconnectEnabled = false;
        running.cancelShown = true;
        running.measurementShown = false;
        running.busy = running.polling = true;
        QVERIFY2(Controls() == running, qPrintable(Describe(Controls())));
        QCOMPARE(display.count(), 1);
        QCOMPARE(display.at(0).at(0).toInt(), 1);
        QVERIFY(!m_window->close());

        PressOnce();
        QCOMPARE(created.count(), 0);
        QVERIFY(Access::Busy(m_window.get()));
        PressOnce();

        QCOMPARE(created.count(), 1);
        QCOMPARE(m_model->GetDensityMeasurements()->size(), 1);
        QCOMPARE(m_model->GetDensityMeasurements()->last().ChartID, chartId);
        QCOMPARE(m_model->GetDensityMeasurements()->last().RecordCount, 2);
        QVERIFY2(Controls() == Idle(), qPrintable(Describe(Controls())));
        QCOMPARE(display.count(), 2);
        QCOMPARE(display.at(1).at(0).toInt(), 0);
        // Where the list shows the chart, the new measurement stands under it.
        if (QTreeWidgetItem *item = ChartItem(chartId))
            QCOMPARE(item->childCount(), 1);
    }

    void cancelMidRunRestoresTheWindow()
    {
        const int chartId = ShowHandheldChart();
        QVERIFY(chartId > 0);
        QTreeWidgetItem *currentBefore = Form()->treeChartList->currentItem();
        QSignalSpy created(m_model, &CModel::CreateDensityMeasureFinished);
        QSignalSpy coloured(m_model, &CModel::SetHandyPatchColorDisplay);
        m_window->pushHandyDensitometerChartLayoutMeasurementClicked();
        PressOnce();
        QCOMPARE(coloured.count(), 1);

        m_window->pushHandyDensitometerChartLayoutCancelClicked();
        QVERIFY2(Controls() == Idle(), qPrintable(Describe(Controls())));
        QCOMPARE(created.count(), 0);
        QVERIFY(m_model->GetDensityMeasurements()->isEmpty());
        QCOMPARE(Form()->treeChartList->currentItem(), currentBefore);
        QVERIFY(m_model->GetSelectedDensityChart());
        QCOMPARE(m_model->GetSelectedDensityChart()->ID, chartId);
        QVERIFY(m_window->close());
    }
};

QTEST_MAIN(TestDensityInstruments)
#include "test_density_instruments.moc"
