// Measurement flows: registered and recognition runs through the simulated scanner in manual delivery, page
// bounds, chart selection by job and by size, QR codes, stopping, automatic export and paper white.

#include "modelfixture.h"

#include "app/orlosdkcontroller.h"
#include "app/texthelpers.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cstring>

// Writes a small file per export instead of the real formats, so the naming rules are seen on disk; with
// `real` set the data-file object writes them.
class ExportModel : public CModel
{
public:
    using CModel::CModel;
    int failWith = 0;
    bool real = false;
    QStringList written;
    QList<int> whiteReferences;

protected:
    int WriteMeasurementExport(const QString &path, int format, const QString &dateText,
                               const Setting::MeasureConditionSetting &conditions, const QVector<int> &ids,
                               const MeasurementDataSheets &measurement,
                               const ChartDefinitionDataSheets &chart) override
    {
        whiteReferences << conditions.WhiteReference;
        if (failWith != 0)
            return failWith;
        if (real) {
            const int result = CModel::WriteMeasurementExport(path, format, dateText, conditions, ids, measurement,
                                                              chart);
            if (result == 0)
                written << QFileInfo(path).fileName();
            return result;
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 70001;
        file.write(QFileInfo(path).fileName().toUtf8());
        written << QFileInfo(path).fileName();
        return 0;
    }
};

class TestModelFlows : public QObject
{
    Q_OBJECT

private:
    // A fresh data folder per test: runs leave documents behind.
    std::unique_ptr<QTemporaryDir> homeDir;
    QStringList arguments{QStringLiteral("Varemo")};
    std::unique_ptr<ExportModel> model;
    std::unique_ptr<WindowDouble> window;

    QString Home() const { return homeDir->path(); }

    void SetExport(bool on, const QString &folder, int naming, int single)
    {
        Setting::UserEnvironment environment = *model->GetUserEnvironment();
        environment.AutoExport = on;
        environment.AutoExportFolder = folder;
        environment.FileNameMode = naming;
        environment.AutoExportFileName = QStringLiteral("run");
        environment.AutoExportSerialNumber = 6;
        environment.AllConditionsInOneFile = single;
        environment.AutoExportFormat = 0;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
    }

    // Two one-area pages of 2 x 3 and 3 x 2 patches.
    static QVector<QVector<OrloSimArea>> Pages(int count)
    {
        const QVector<QVector<OrloSimArea>> pages = {{{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}},
                                                     {{3, 2, 1500, 1500, 1000, 1000, 1200, 1200}}};
        return pages.mid(0, count);
    }

    // A chart of the pages created through the model, selected, its job registered at the connected scanner.
    int PrepareRegisteredRun(int pages) { return PrepareRun(Pages(pages), true); }

    // The same with any pages; without a job the scanner finds the chart by its QR codes alone.
    int PrepareRun(const QVector<QVector<OrloSimArea>> &pages, bool registerJob)
    {
        ChartDefinitionDataSheets chart;
        MakePrintableChart(&chart, QStringLiteral("FLOWCHART"), pages);
        const int result = model->CreateDesignationChart(&chart);
        ClearChartDefinitionData(&chart);
        if (result != 0)
            return 0;
        const int id = model->GetDesignationCharts()->last().ID;
        Setting::ConnectSetting record;
        record.Port = QStringLiteral("usb0");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(record);
        if (model->SelectFileID(CModel::KindDesignationChart, id, id) != 0 || model->ConnectOrlo(false) != 0 ||
            (registerJob && model->RegisterDesignationChartJob() != 0))
            return 0;
        return id;
    }

    // The main window's part in a QR-code run: it takes the chart and the page that the first code names.
    void TakeChartFoundByQrCode()
    {
        connect(model.get(), &CModel::FindDesignationChartFound, model.get(), [this](int id, int page) {
            model->SelectFileID(CModel::KindDesignationChart, id, id);
            model->SetCurrentSheetIndex(page);
        });
    }

    // Prints the page of the selected chart and delivers every event it brings.
    void MeasurePage(int page)
    {
        QCOMPARE(InsertPrintedPage(*model->GetChartDefinition(), page), 0);
        while (OrloSim_DeliverPending() > 0) {
        }
    }

    // Delivers events one by one until `code` was handled.
    bool DeliverThrough(int code)
    {
        while (OrloSim_DeliverOne() > 0) {
            if (CModelAccess::OrloController(*model)->GetLastEvent() == code)
                return true;
        }
        return false;
    }

private slots:
    void init()
    {
        window.reset();
        model.reset();
        homeDir.reset(new QTemporaryDir);
        qputenv("XDG_DATA_HOME", Home().toUtf8());
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Manual);
        model.reset(new ExportModel(nullptr, &arguments));
        window.reset(new WindowDouble(model.get()));
        QCOMPARE(model->Initialize(), 0);
    }
    void cleanup()
    {
        window.reset();
        model.reset();
    }

    void registeredRuns_data()
    {
        QTest::addColumn<int>("pages");
        QTest::newRow("one page") << 1;
        QTest::newRow("two pages") << 2;
    }
    void registeredRuns()
    {
        QFETCH(int, pages);
        const int chartId = PrepareRegisteredRun(pages);
        QVERIFY(chartId > 0);
        const int otherJob = CModelAccess::DocumentData(*model)->FindDesignationChart(chartId)->JobNumber + 1;
        QSignalSpy display(model.get(), &CModel::SetPatchColorDisplay);
        QSignalSpy created(model.get(), &CModel::CreateDesignationMeasureFinished);
        QSignalSpy updated(model.get(), &CModel::UpdateDesignationMeasureFinished);
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        QSignalSpy asked(model.get(), &CModel::SelectDesigChartFromFileID);
        int patches = 0;
        for (int p = 0; p < pages; ++p) {
            MeasurePage(p);
            patches += model->GetChartDefinition()->Sheets[p].PatchCount;
            QCOMPARE(display.size(), patches);
            QCOMPARE(created.size(), 1);
            QCOMPARE(updated.size(), p);
            QCOMPARE(finished.size(), p + 1 == pages ? 1 : 0);
            if (p + 1 < pages) {
                // Mid-run the chart is not chosen again, whatever the job.
                QCOMPARE(CModelAccess::OrloHost(*model)->GetMeasurementSheetCount(), pages);
                QCOMPARE(CModelAccess::OrloHost(*model)->SelectChartFromJobNumber(otherJob), 0);
                QCOMPARE(asked.size(), 0);
            }
        }
        const int id = model->GetNewMeasurementID();
        QCOMPARE(finished.at(0), (QList<QVariant>{int(CModel::KindDesignationMeasure), id}));
        int selected = 0, kind = 0;
        model->GetSelectedFileID(&selected, &kind);
        QCOMPARE(selected, id);
        QCOMPARE(kind, int(CModel::KindDesignationMeasure));
        QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 0u);
        QVERIFY(model->IsFirstSheet());
        QCOMPARE(CModelAccess::DataBuffer(*model)->GetPlannedSheetCount(), 0u);
        QVERIFY(!model->HasReadBarcodes());
        QCOMPARE(window->errors, QList<int>{});
        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDesignationMeasure(id, chartId, &stored), 0);
        QCOMPARE(stored.SheetCount, pages);
        ClearMeasureFileData(&stored);
    }

    // Pages of a QR-code run are stored as they are scanned; the document holds them in page order.
    void qrRunStoresPagesInPageOrder_data()
    {
        QTest::addColumn<QList<int>>("scanned"); // page indices in scanning order
        QTest::newRow("in page order") << QList<int>{0, 1};
        QTest::newRow("reverse order") << QList<int>{1, 0};
    }
    void qrRunStoresPagesInPageOrder()
    {
        QFETCH(QList<int>, scanned);
        const QVector<QVector<OrloSimArea>> pages = {{{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}},
                                                     {{3, 3, 1500, 1500, 1000, 1000, 1200, 1200}}};
        const int chartId = PrepareRun(pages, false);
        QVERIFY(chartId > 0);
        TakeChartFoundByQrCode();
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        MeasurePage(scanned[0]);
        QCOMPARE(model->GetReadBarcodes().size(), 1);
        QCOMPARE(finished.size(), 0);
        MeasurePage(scanned[1]);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(window->errors, QList<int>{});
        const int id = model->GetNewMeasurementID();
        QCOMPARE(finished.at(0), (QList<QVariant>{int(CModel::KindDesignationMeasure), id}));
        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDesignationMeasure(id, chartId, &stored), 0);
        QCOMPARE(stored.SheetCount, 2);
        for (int p = 0; p < 2; ++p) {
            QCOMPARE(stored.Sheets[p].PageNumber, p + 1);
            QCOMPARE(stored.Sheets[p].RecordCount, pages[p][0].rows * pages[p][0].columns);
            QCOMPARE(stored.Sheets[p].Records[stored.Sheets[p].RecordCount - 1].Row, pages[p][0].rows - 1);
        }
        ClearMeasureFileData(&stored);
    }

    // A stop in the middle of a QR-code run keeps the page being measured: it goes into the run's document
    // under its own page number, and no second document is made.
    void stopDuringQrRunKeepsThePage_data()
    {
        QTest::addColumn<QList<int>>("scanned");  // page indices in scanning order, the last one stopped midway
        QTest::addColumn<QList<int>>("expected"); // page numbers in the document
        QTest::newRow("page 2 scanned first") << QList<int>{1} << QList<int>{2};
        QTest::newRow("page 2 scanned second") << QList<int>{0, 1} << QList<int>{1, 2};
        QTest::newRow("page 1 scanned second") << QList<int>{1, 0} << QList<int>{1, 2};
    }
    void stopDuringQrRunKeepsThePage()
    {
        QFETCH(QList<int>, scanned);
        QFETCH(QList<int>, expected);
        const int chartId = PrepareRun(Pages(2), false);
        QVERIFY(chartId > 0);
        TakeChartFoundByQrCode();
        for (int i = 0; i + 1 < scanned.size(); ++i)
            MeasurePage(scanned[i]);
        QCOMPARE(InsertPrintedPage(*model->GetChartDefinition(), scanned.last()), 0);
        QVERIFY(DeliverThrough(11));
        QCOMPARE(model->GetReadBarcodes().size(), scanned.size());
        const int measured = int(model->GetCurrentRecordCount());
        QVERIFY(measured > 0 && measured < 6);
        model->StopMeasurementOrlo();
        while (OrloSim_DeliverPending() > 0) {
        }
        QCOMPARE(window->errors, QList<int>{});
        QCOMPARE(model->GetDesignationMeasurements()->size(), 1);
        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDesignationMeasure(model->GetNewMeasurementID(), chartId, &stored), 0);
        QList<int> pageNumbers;
        for (int p = 0; p < stored.SheetCount; ++p) {
            pageNumbers << stored.Sheets[p].PageNumber;
            if (stored.Sheets[p].PageNumber == scanned.last() + 1)
                QCOMPARE(stored.Sheets[p].MeasuredCount, measured);
        }
        ClearMeasureFileData(&stored);
        QCOMPARE(pageNumbers, expected);
        QVERIFY(!model->HasReadBarcodes());
        QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 0u);
        QVERIFY(model->IsFirstSheet());
    }

    void pageCompletesByExpectedCount()
    {
        // The recognition finds four of the six patches: the page is complete with those four.
        QVERIFY(PrepareRegisteredRun(1) > 0);
        const ChartDefinitionData::Sheet &sheet = model->GetChartDefinition()->Sheets[0];
        QVector<OrloMeasurePoint> points;
        for (int k = 0; k < 4; ++k) {
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
            const ChartDefinitionData::AreaPlacement &g = sheet.Placements[patch.Area];
            points.append({g.LeftTopX + patch.Column * g.PatchWidthGap + g.PatchWidth / 2,
                           g.LeftTopY + patch.Row * g.PatchHeightGap + g.PatchHeight / 2, patch.Area, patch.Row,
                           patch.Column});
        }
        OrloSim_SetNextRecognition(0, nullptr, points.data(), points.size());
        QSignalSpy display(model.get(), &CModel::SetPatchColorDisplay);
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        MeasurePage(0);
        QCOMPARE(display.size(), 4);
        QCOMPARE(display.at(0).at(1).toUInt(), 4u);
        QCOMPARE(finished.size(), 1);
        MeasurementDataSheets stored;
        QCOMPARE(model->ReadDesignationMeasure(model->GetNewMeasurementID(), model->GetSelectedChartID(), &stored), 0);
        QCOMPARE(stored.Sheets[0].MeasuredCount, 4);
        ClearMeasureFileData(&stored);
    }

    void patchAfterTheStopIsKeptQuietly()
    {
        QVERIFY(PrepareRegisteredRun(1) > 0);
        OrloSim_SetLatePatchAfterStop(1);
        QSignalSpy display(model.get(), &CModel::SetPatchColorDisplay);
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        QCOMPARE(InsertPrintedPage(*model->GetChartDefinition(), 0), 0);
        QVERIFY(DeliverThrough(11));
        const int shown = display.size();
        QVERIFY(shown > 0 && shown < 6);
        QCOMPARE(CModelAccess::OrloController(*model)->StopMeasurement(false), 0);
        while (OrloSim_DeliverPending() > 0) {
        }
        QCOMPARE(model->GetCurrentRecordCount(), unsigned(shown + 1));
        QCOMPARE(display.size(), shown);
        QCOMPARE(finished.size(), 0);
        QVERIFY(model->GetDesignationMeasurements()->isEmpty());
    }

    void stopMeasurement_data()
    {
        QTest::addColumn<int>("when"); // 0 stopped, waiting for the next sheet; 1 stopped otherwise; 2 running
        QTest::newRow("stopped at status 9") << 0;
        QTest::newRow("stopped at another status") << 1;
        QTest::newRow("during a run") << 2;
    }
    void stopMeasurement()
    {
        QFETCH(int, when);
        QVERIFY(PrepareRegisteredRun(2) > 0);
        QSignalSpy backColour(model.get(), &CModel::SetDesignationMeasureItemBackColor);
        QSignalSpy created(model.get(), &CModel::CreateDesignationMeasureFinished);
        if (when == 2) {
            QCOMPARE(InsertPrintedPage(*model->GetChartDefinition(), 0), 0);
            QVERIFY(DeliverThrough(11));
            QVERIFY(!CModelAccess::OrloController(*model)->IsMeasurementStopped());
        } else {
            MeasurePage(0); // page 1 stored, the scanner waits for page 2
            QCOMPARE(model->GetOrloDeviceState(), 9);
            if (when == 1)
                model->SetOrloStatus(6);
        }
        const int createdBefore = created.size();
        OrloSim_ClearCallLog();
        model->StopMeasurementOrlo();
        const bool stoppedScanner = QString::fromLatin1(OrloSim_CallLog()).contains("Orlo_StopMeasurement");
        QCOMPARE(stoppedScanner, when == 2);
        if (when == 1) {
            // Nothing at all: the run stays as it is.
            QCOMPARE(backColour.size(), 0);
            QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 1u);
            QCOMPARE(model->GetOrloDeviceState(), 6);
            return;
        }
        QCOMPARE(backColour.size(), 1);
        QCOMPARE(backColour.at(0).at(0).toInt(), model->GetNewMeasurementID());
        QCOMPARE(created.size(), createdBefore + (when == 2 ? 1 : 0));
        if (when == 0)
            QCOMPARE(model->GetOrloDeviceState(), 2);
        QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 0u);
        QVERIFY(model->IsFirstSheet());
        QCOMPARE(CModelAccess::DataBuffer(*model)->GetPlannedSheetCount(), 0u);
        QCOMPARE(window->errors, QList<int>{});
    }

    void recognitionRunsExportUnderTheirOwnIds()
    {
        // No chart selected and no QR code: each sheet becomes a recognition measurement of its own, and the
        // real export names its file after it.
        const QString folder = Home() + "/auto";
        SetExport(true, folder, 0, 1);
        model->real = true;
        Setting::ConnectSetting record;
        record.Port = QStringLiteral("usb0");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(record);
        QCOMPARE(model->ConnectOrlo(false), 0);
        ChartDefinitionDataSheets chart;
        MakePrintableChart(&chart, QStringLiteral("LOOSE"), Pages(1), 0);
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        QList<int> ids;
        for (int run = 0; run < 2; ++run) {
            QCOMPARE(InsertPrintedPage(chart, 0, false), 0);
            while (OrloSim_DeliverPending() > 0) {
            }
            QCOMPARE(finished.size(), run + 1);
            QCOMPARE(finished.last().at(0).toInt(), int(CModel::KindRecognition));
            ids << finished.last().at(1).toInt();
            int selected = -1, kind = -1;
            model->GetSelectedFileID(&selected, &kind);
            QCOMPARE(selected, 0);
            QCOMPARE(kind, int(CModel::KindRecognition));
        }
        ClearChartDefinitionData(&chart);
        QVERIFY(ids.at(0) > 0 && ids.at(1) > ids.at(0));
        QCOMPARE(model->GetRecognitionMeasurements()->size(), 2);
        QCOMPARE(window->errors, QList<int>{});
        const QStringList expected = {ZeroPaddedNumber(ids.at(0), 5) + ".csv", ZeroPaddedNumber(ids.at(1), 5) + ".csv"};
        QCOMPARE(model->written, expected);
        for (const QString &name : expected)
            QVERIFY(QFileInfo(folder + "/" + name).size() > 0);
    }

    void confirmChartHoldsTheRecognitionRun()
    {
        // The user looks at the recognised chart first: nothing is measured or stored until the run goes on.
        Setting::ConnectSetting record;
        record.Port = QStringLiteral("usb0");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(record);
        QCOMPARE(model->ConnectOrlo(false), 0);
        QSignalSpy canvas(model.get(), &CModel::SetMainWindowChartCanvas);
        QSignalSpy display(model.get(), &CModel::SetPatchColorDisplay);
        QSignalSpy finished(model.get(), &CModel::MeasurementFinished);
        QVERIFY(RunRecognitionToConfirmation(model.get()));
        QCOMPARE(canvas.size(), 1);
        QCOMPARE(canvas.at(0).at(0).toInt(), 1);
        QVERIFY(model->IsOrloPrescanCompleted());
        QCOMPARE(display.size(), 0);
        QCOMPARE(finished.size(), 0);
        QVERIFY(model->GetRecognitionMeasurements()->isEmpty());

        // Confirmed: the same sheet is measured and becomes a recognition measurement.
        const Setting::UserEnvironment *environment = model->GetUserEnvironment();
        QCOMPARE(model->StartOrloMeasurement(environment->Aperture, environment->PositionGap), 0);
        while (OrloSim_DeliverPending() > 0) {
        }
        QCOMPARE(display.size(), 6);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(CModel::KindRecognition));
        QCOMPARE(model->GetRecognitionMeasurements()->size(), 1);
        QCOMPARE(window->errors, QList<int>{});
    }

    void realExportNeverOverwrites()
    {
        // A reset sequence number meets two earlier exports: the run writes "_2", the others stay as they were.
        const QString folder = Home() + "/again";
        QVERIFY(QDir().mkpath(folder));
        for (const QString &name : {QStringLiteral("run0007.csv"), QStringLiteral("run0007_1.csv")}) {
            QFile old(folder + "/" + name);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(name.toUtf8());
        }
        SetExport(true, folder, 1, 1);
        model->real = true;
        QVERIFY(PrepareRegisteredRun(1) > 0);
        MeasurePage(0);
        QCOMPARE(model->written, QStringList{"run0007_2.csv"});
        QVERIFY(QFileInfo(folder + "/run0007_2.csv").size() > 0);
        for (const QString &name : {QStringLiteral("run0007.csv"), QStringLiteral("run0007_1.csv")}) {
            QFile old(folder + "/" + name);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), name.toUtf8());
        }
        QCOMPARE(model->GetUserEnvironment()->AutoExportSerialNumber, 7);
        QCOMPARE(window->errors, QList<int>{});
    }

    void registeredRunExportNamedAfterChartAndMeasurement()
    {
        const QString folder = Home() + "/named";
        SetExport(true, folder, 0, 1);
        model->real = true;
        QVERIFY(PrepareRegisteredRun(1) > 0);
        MeasurePage(0);
        const QString name = model->GetChartDefinition()->ChartName + "_" +
                             ZeroPaddedNumber(model->GetNewMeasurementID(), 5) + ".csv";
        QCOMPARE(model->written, QStringList{name});
        QVERIFY(QFileInfo(folder + "/" + name).size() > 0);
        QCOMPARE(model->GetUserEnvironment()->AutoExportSerialNumber, 6);
    }

    void paperRelativeWithoutPaperWhiteIsWrittenAbsolute()
    {
        Setting::UserEnvironment environment = *model->GetUserEnvironment();
        environment.ConditionSource = 1;
        environment.Display.DensityShown = 1;
        environment.Display.WhiteReference = 1;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
        SetExport(true, Home() + "/absolute", 1, 1);
        QCOMPARE(model->GetUserEnvironment()->Display.WhiteReference, 1);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan(); // nothing measured: no paper white
        QCOMPARE(model->whiteReferences, QList<int>{0});
        QCOMPARE(model->GetUserEnvironment()->Display.WhiteReference, 1);
    }

    void fullStoreReportedOnce()
    {
        // 5,999 measurement documents: the run that adds the 6,000th reports it once, after the scanner ended.
        auto *recognitions = const_cast<QList<ChartRecogData> *>(model->GetRecognitionMeasurements());
        for (int i = 0; i < CDocumentData::kMeasurementStoreLimit - 1; ++i) {
            ChartRecogData filler;
            filler.ID = 50000 + i;
            recognitions->append(filler);
        }
        QVERIFY(PrepareRegisteredRun(1) > 0);
        MeasurePage(0);
        QCOMPARE(model->GetDesignationMeasurements()->size(), 1);
        QCOMPARE(window->errors, QList<int>{52});
        QCOMPARE(CModel::ParkedMessage(), 0);
    }

    void scannedBarcodes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("held");    // the first sheet of the selected chart is already held
        QTest::addColumn<int>("sheet");    // sheet number of the record handed over
        QTest::addColumn<bool>("known");   // the record names the selected chart
        QTest::addColumn<bool>("matches"); // the record agrees with the chart's page
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("listed");
        QTest::newRow("first record of a known chart") << 0 << false << 1 << true << true << true << 1;
        QTest::newRow("first record of an unknown chart") << 0 << false << 1 << false << true << true << 0;
        QTest::newRow("next sheet of the run") << 0 << true << 2 << true << true << true << 2;
        QTest::newRow("next sheet not matching the chart") << 0 << true << 2 << true << false << false << 0;
        QTest::newRow("sheet already read starts anew") << 0 << true << 1 << true << true << true << 1;
        QTest::newRow("another chart drops the run") << 0 << true << 1 << false << true << true << 0;
        QTest::newRow("settings open") << 3 << true << 2 << true << true << false << 0;
        QTest::newRow("no window") << 1 << false << 1 << true << true << false << 0;
    }
    void scannedBarcodes()
    {
        QFETCH(int, status);
        QFETCH(bool, held);
        QFETCH(int, sheet);
        QFETCH(bool, known);
        QFETCH(bool, matches);
        QFETCH(bool, accepted);
        QFETCH(int, listed);
        QVERIFY(PrepareRegisteredRun(2) > 0);
        const ChartDefinitionDataSheets &chart = *model->GetChartDefinition();
        if (held) {
            SheetInfoRecord first;
            FillSheetInfoRecord(&first, chart, 0);
            QVERIFY(CModelAccess::OrloHost(*model)->HandleScannedBarcode(first));
            QCOMPARE(model->GetReadBarcodes().size(), 1);
        }
        model->SetAppStatus(status);
        SheetInfoRecord record;
        FillSheetInfoRecord(&record, chart, sheet - 1);
        if (!known)
            std::memcpy(record.ChartCode, "OTHERCHART", 10);
        if (!matches)
            record.PatchCount += 1;
        QCOMPARE(CModelAccess::OrloHost(*model)->HandleScannedBarcode(record), accepted);
        QCOMPARE(model->GetReadBarcodes().size(), listed);
        if (listed == 2)
            QCOMPARE(CModelAccess::OrloHost(*model)->GetCurrentChartPageIndex(), 1u);
    }

    void scannedBarcodesForDensity_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("chartPresent");
        QTest::addColumn<int>("templateIndex");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("7, density chart present") << 7 << true << -1 << true;
        QTest::newRow("8, template second number 0") << 8 << false << 0 << true;
        QTest::newRow("7, template second number 1") << 7 << false << 4 << true;
        QTest::newRow("7, no template second number") << 7 << false << 99 << false;
    }
    void scannedBarcodesForDensity()
    {
        QFETCH(int, status);
        QFETCH(bool, chartPresent);
        QFETCH(int, templateIndex);
        QFETCH(bool, accepted);
        SheetInfoRecord record;
        std::memset(&record, 0, sizeof record);
        std::memcpy(record.ChartCode, "NODENSITY", 9);
        record.SheetCount = 1;
        record.SheetNumber = 1;
        record.PatchCount = 3;
        if (chartPresent) {
            QVERIFY(!model->GetDensityCharts()->isEmpty());
            const DensityBalanceData &chart = model->GetDensityCharts()->first();
            const QByteArray code = chart.ChartName.section(' ', 0, 0).left(16).toLocal8Bit();
            std::memset(record.ChartCode, 0, sizeof record.ChartCode);
            std::memcpy(record.ChartCode, code.constData(), size_t(code.size()));
            record.PatchCount = chart.ChartPatchCount;
            templateIndex = chart.Template;
        } else {
            QCOMPARE(CModelAccess::ResourceData(*model)->GetTemplateSecondNumber(templateIndex),
                     templateIndex == 99 ? -1 : templateIndex == 0 ? 0 : 1);
        }
        model->SetDensityTemplateIndex(templateIndex);
        model->SetAppStatus(status);
        QSignalSpy found(model.get(), &CModel::FindDensityChartFound);
        QCOMPARE(CModelAccess::OrloHost(*model)->HandleScannedBarcode(record), accepted);
        QCOMPARE(model->GetReadBarcodes().size(), accepted ? 1 : 0);
        QCOMPARE(found.size(), chartPresent ? 1 : 0);
    }

    void recognitionResultSignals_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("route"); // 0 none, 1 main window, 2 density window
        QTest::newRow("main window") << 0 << 1;
        QTest::newRow("density with chart") << 7 << 2;
        QTest::newRow("density without chart") << 8 << 0;
    }
    void recognitionResultSignals()
    {
        QFETCH(int, status);
        QFETCH(int, route);
        const int id = CreateChart(model.get(), 1, 2, 3);
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        model->SetAppStatus(status);
        QCOMPARE(model->SetRecognitionResult(nullptr, nullptr, nullptr, 0), 10001);
        QVector<uchar> pixels(40 * 30, 200);
        const OrloImage image = {40, 30, 8, pixels.data()};
        const OrloMeasurePoint points[3] = {{2200, 1600, 0, 0, 0}, {3400, 1600, 0, 0, 1}, {2200, 2800, 0, 1, 0}};
        QStringList order;
        connect(model.get(), &CModel::SetMeasuredPointDisplay, this, [&](MeasurementData *, uint page, uint sheets) {
            order << QStringLiteral("points %1/%2").arg(page).arg(sheets);
        });
        connect(model.get(), &CModel::SetChartDisplay, this, [&](ChartDefinitionDataSheets *, uint page, uint, uint count, uint) {
            order << QStringLiteral("chart %1 %2").arg(page).arg(count);
        });
        connect(model.get(), &CModel::SetMeasurePointDisplayDensity, this,
                [&](MeasurementData *, uint page, uint sheets) { order << QStringLiteral("density points %1/%2").arg(page).arg(sheets); });
        connect(model.get(), &CModel::SetChartDisplayDensity, this,
                [&](ChartDefinitionDataSheets *, uint page, uint) { order << QStringLiteral("density chart %1").arg(page); });
        QCOMPARE(model->SetRecognitionResult(nullptr, &image, points, 3), 0);
        QCOMPARE(CModelAccess::OrloHost(*model)->GetExpectedRecordCount(), 3u);
        const QStringList expected[3] = {{}, {"points 1/1", "chart 1 3"}, {"density points 1/1", "density chart 1"}};
        QCOMPARE(order, expected[route]);
    }

    void paperWhiteFromMeasurement_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QVector<float>>("values");
        QTest::addColumn<bool>("found");
        QTest::newRow("RGB white") << 1 << QVector<float>{255, 255, 255} << true;
        QTest::newRow("RGB near white") << 1 << QVector<float>{255, 255, 254} << false;
        QTest::newRow("CMYK zero") << 2 << QVector<float>{0, 0, 0, 0} << true;
        QTest::newRow("CMYK with black") << 2 << QVector<float>{0, 0, 0, 1} << false;
        QTest::newRow("no colour format") << 0 << QVector<float>{0, 0, 0} << false;
    }
    void paperWhiteFromMeasurement()
    {
        QFETCH(int, format);
        QFETCH(QVector<float>, values);
        QFETCH(bool, found);
        Setting::MeasureConditionSetting conditions = *model->GetMeasurementCondition(0);
        conditions.DensityShown = 1;
        conditions.WhiteReference = 1;
        QCOMPARE(model->SetMeasureCondition(conditions, 0), 0);
        // Patch 1 of a 1 x 3 page carries the colour under test; its measured block is the paper.
        const int id = CreateChart(model.get(), 1, 1, 3);
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        ChartDefinitionData::Sheet &sheet = model->GetChartDefinition()->Sheets[0];
        sheet.Patches[0].ColorValue[2] = 200.0f;
        sheet.Patches[1].ColorFormat = format;
        for (int i = 0; i < values.size(); ++i)
            sheet.Patches[1].ColorValue[i] = values.at(i);
        MeasurementDataSheets *measurement = CModelAccess::DataBuffer(*model)->GetMeasurement();
        measurement->SheetCount = 1;
        measurement->Sheets = NewMeasurementPages(1);
        MeasurementData &page = measurement->Sheets[0];
        page.PageNumber = 1;
        page.RecordCount = 3;
        page.Records = NewMeasurementRecords(3);
        float paper[kInstrumentValueCount];
        for (int k = 0; k < 3; ++k) {
            page.Records[k].Column = k;
            for (int i = 0; i < kInstrumentValueCount; ++i)
                page.Records[k].Values[i] = i < 72 ? (k == 1 ? 0.9f : 0.3f) : 1.0f;
        }
        std::copy(page.Records[1].Values, page.Records[1].Values + kInstrumentValueCount, paper);
        QCOMPARE(model->SetPaperWhiteFromMeasurement(), found);
        if (!found)
            return;
        // The paper block measured relative to itself has no density left.
        float out[COrloSDKController::kPatchValueCount] = {};
        const int condition = MeasurementConditionIdsFromMask(conditions.ConditionMask).value(0);
        QCOMPARE(CModelAccess::OrloController(*model)->CalculatePatchValues(out, paper, conditions, condition), 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(out[i], 0.0f);
    }

    void paperWhiteFirstAcceptedWins()
    {
        Setting::MeasureConditionSetting conditions = *model->GetMeasurementCondition(0);
        conditions.DensityShown = 1;
        conditions.WhiteReference = 1;
        QCOMPARE(model->SetMeasureCondition(conditions, 0), 0);
        const int id = CreateChart(model.get(), 1, 1, 3);
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        ChartDefinitionData::Sheet &sheet = model->GetChartDefinition()->Sheets[0];
        for (int k = 0; k < 3; ++k) {
            sheet.Patches[k].ColorFormat = 1;
            std::fill(sheet.Patches[k].ColorValue, sheet.Patches[k].ColorValue + 3, k == 0 ? 10.0f : 255.0f);
        }
        MeasurementDataSheets *measurement = CModelAccess::DataBuffer(*model)->GetMeasurement();
        measurement->SheetCount = 1;
        measurement->Sheets = NewMeasurementPages(1);
        MeasurementData &page = measurement->Sheets[0];
        page.PageNumber = 1;
        page.RecordCount = 3;
        page.Records = NewMeasurementRecords(3);
        for (int k = 0; k < 3; ++k) {
            page.Records[k].Column = k;
            for (int i = 0; i < kInstrumentValueCount; ++i)
                page.Records[k].Values[i] = i < 72 ? 0.5f + 0.2f * float(k) : 1.0f;
        }
        // The first white patch cannot be calculated: the second one is taken.
        OrloSim_FailNext("Orlo_CalculateData", 1);
        QVERIFY(model->SetPaperWhiteFromMeasurement());
        float out[COrloSDKController::kPatchValueCount] = {};
        const int condition = MeasurementConditionIdsFromMask(conditions.ConditionMask).value(0);
        QCOMPARE(CModelAccess::OrloController(*model)->CalculatePatchValues(out, page.Records[2].Values, conditions,
                                                                            condition),
                 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(out[i], 0.0f);
    }

    void patchBeyondTheSheetsIsRefused()
    {
        const int id = CreateChart(model.get(), 1, 2, 3);
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        model->SetCurrentSheetIndex(1);
        const int location[3] = {0, 0, 0};
        float block[kInstrumentValueCount] = {1.0f};
        PatchColorResult colors;
        QCOMPARE(CModelAccess::OrloHost(*model)->StoreMeasuredPatch(0, location, 1, block, colors), 10017);
        QCOMPARE(model->GetCurrentRecordCount(), 0u);
        QCOMPARE(CModelAccess::OrloHost(*model)->StoreMeasuredPatch(0, nullptr, 1, block, colors), 10002);
    }

    void selectChartFromJob()
    {
        QVERIFY(CModelAccess::ApplicationData(*model));
        Setting::ConnectSetting record;
        record.Port = QStringLiteral("usb0");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(record);
        QCOMPARE(model->ConnectOrlo(false), 0);
        const int a = CreateChart(model.get(), 1, 1, 2);
        const int b = CreateChart(model.get(), 1, 1, 2);
        for (int id : {a, b}) {
            model->SelectFileID(CModel::KindDesignationChart, id, id);
            QCOMPARE(model->RegisterDesignationChartJob(), 0);
        }
        const int jobA = CModelAccess::DocumentData(*model)->FindDesignationChart(a)->JobNumber;
        // Already selected: nothing asked.
        QSignalSpy asked(model.get(), &CModel::SelectDesigChartFromFileID);
        model->SelectFileID(CModel::KindDesignationChart, a, a);
        QCOMPARE(CModelAccess::OrloHost(*model)->SelectChartFromJobNumber(jobA), 0);
        QCOMPARE(asked.size(), 0);
        // Never taken.
        model->SelectFileID(CModel::KindDesignationChart, b, b);
        QCOMPARE(CModelAccess::OrloHost(*model)->SelectChartFromJobNumber(jobA), 10036);
        // Taken inside the emission.
        const auto take = connect(model.get(), &CModel::SelectDesigChartFromFileID, this,
                                  [this](int id) { model->SelectFileID(CModel::KindDesignationChart, id, id); });
        QCOMPARE(CModelAccess::OrloHost(*model)->SelectChartFromJobNumber(jobA), 0);
        disconnect(take);
        // Another chart taken.
        model->SelectFileID(CModel::KindDesignationChart, b, b);
        connect(model.get(), &CModel::SelectDesigChartFromFileID, this,
                [this, b](int) { model->SelectFileID(CModel::KindDesignationChart, b, b); });
        QCOMPARE(CModelAccess::OrloHost(*model)->SelectChartFromJobNumber(jobA), 10036);
    }

    void densityChartBySize()
    {
        QSignalSpy announced(model.get(), &CModel::DisplayDensityMeasureContinue);
        QCOMPARE(model->SelectDensityChartForScannedChart(0, 0, QString()), 0);
        QCOMPARE(announced.size(), 1);
        QCOMPARE(announced.at(0).at(0).toInt(), -1);
        QCOMPARE(model->SelectDensityChartForScannedChart(21000, 29700, QStringLiteral("ab")), 10047);
        QCOMPARE(model->SelectDensityChartForScannedChart(21000, 29700, QStringLiteral("x~~")), 10047);
    }

    void automaticExportOff()
    {
        SetExport(false, Home() + "/out", 0, 1);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        QVERIFY(!QDir(Home() + "/out").exists());
        QVERIFY(window->errors.isEmpty());
    }

    void automaticExportFolders()
    {
        SetExport(true, Home() + "/one", 1, 1);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        QVERIFY(QDir(Home() + "/one").exists());
        QCOMPARE(model->written, QStringList{"run0007.csv"});
        QCOMPARE(model->GetUserEnvironment()->AutoExportSerialNumber, 7);
        SetExport(true, Home() + "/two/levels", 1, 1);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        QCOMPARE(window->errors, QList<int>{57});
    }

    void automaticExportNeverOverwrites()
    {
        const QString folder = Home() + "/keep";
        QVERIFY(QDir().mkpath(folder));
        QFile old(folder + "/run0007.csv");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier");
        old.close();
        SetExport(true, folder, 1, 1);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        QCOMPARE(model->written, QStringList{"run0007_1.csv"});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("earlier"));
        QVERIFY(window->errors.isEmpty());
    }

    void automaticExportOneFilePerCondition()
    {
        SetExport(true, Home() + "/per", 1, 0);
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        const int conditions = MeasurementConditionIdsFromMask(model->GetMeasurementCondition(0)->ConditionMask).size();
        QCOMPARE(model->written.size(), conditions);
        QVERIFY(conditions > 1);
    }

    void automaticExportFailure()
    {
        SetExport(true, Home() + "/fail", 1, 1);
        model->failWith = 70001;
        CModelAccess::OrloHost(*model)->SaveMeasurementAfterScan();
        QCOMPARE(window->errors, QList<int>{57});
        QCOMPARE(model->GetUserEnvironment()->AutoExportSerialNumber, 6);
    }
};

QTEST_GUILESS_MAIN(TestModelFlows)
#include "test_model_flows.moc"
