// The chart-scanner controller against the simulated scanner, events delivered by hand on the test's thread.

#include "orlostubmodel.h"

#include "app/unithelpers.h"

#include <QtTest>

#include <memory>

namespace {

QStringList LogLines()
{
    return QString::fromLatin1(OrloSim_CallLog()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool Logged(const QString &prefix)
{
    for (const QString &line : LogLines())
        if (line.startsWith(prefix))
            return true;
    return false;
}

OrloLayoutRecord LayoutOf(const QVector<QVector<int>> &areas, int total)
{
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    layout.width = 20000;
    layout.height = 15000;
    layout.areaCount = areas.size();
    layout.patchCount = total;
    for (int a = 0; a < areas.size() && a < ORLO_MAX_AREAS; ++a) {
        layout.areaCounts[a][0] = areas[a][0];
        layout.areaCounts[a][1] = areas[a][1];
        layout.areaCounts[a][2] = areas[a][2];
        const int32_t g[6] = {3000, 4000 + 3000 * a, 1000, 1000, 1200, 1200};
        std::copy(g, g + 6, layout.areaGeometry[a]);
    }
    return layout;
}

using Report = QPair<int, int>;

} // namespace

class TestOrloController : public QObject
{
    Q_OBJECT

    std::unique_ptr<OrloStubModel> model;
    std::unique_ptr<COrloSDKController> controller;

    ChartDefinitionDataSheets *Chart() { return model->buffer.GetChartDefinition(); }

    void ConnectAndRegister(bool registerJob = true)
    {
        Setting::ConnectSetting settings;
        settings.Port = QStringLiteral("usb0");
        QCOMPARE(controller->Connect(&settings), 0);
        OrloSim_DeliverPending();
        if (registerJob)
            QCOMPARE(controller->RegisterJob(7, *Chart()), 0);
    }
    // Inserts the run sheet and delivers events up to and including `lastCode`.
    void RunTo(int lastCode)
    {
        InsertRunSheet(*Chart());
        while (OrloSim_DeliverOne() && controller->GetLastEvent() != lastCode) {
        }
        QCOMPARE(controller->GetLastEvent(), lastCode);
    }
    void ClearRecords()
    {
        model->calls.clear();
        model->statuses.clear();
        model->reports.clear();
        model->shown.clear();
        OrloSim_ClearCallLog();
    }

private slots:
    void init();
    void cleanup();
    void scriptedRun();
    void errorEvents_data();
    void errorEvents();
    void connection_data();
    void connection();
    void connectTwiceAndElsewhere();
    void captureStartRefused();
    void jobFoundWhateverTheNameCase_data();
    void jobFoundWhateverTheNameCase();
    void jobRunKeepsDensityQrRecord_data();
    void jobRunKeepsDensityQrRecord();
    void captureResultBarcodes_data();
    void captureResultBarcodes();
    void selectBySize();
    void recognitionRefusedLayouts_data();
    void recognitionRefusedLayouts();
    void recognitionNegativeOrigins();
    void recognitionTurnedChart();
    void recognitionMismatch_data();
    void recognitionMismatch();
    void unmatchedColours_data();
    void unmatchedColours();
    void recognitionRefusedByLibrary();
    void recognitionRestarted();
    void lowReliabilityConfirm();
    void patchDataBounds();
    void patchDataFailure();
    void latePatchAfterStop();
    void sheetEndChecks();
    void sheetEndDensityWindow_data();
    void sheetEndDensityWindow();
    void sheetEndSaves_data();
    void sheetEndSaves();
    void networkSetting_data();
    void networkSetting();
    void parkedMessageReleased();
};

void TestOrloController::init()
{
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    model = std::make_unique<OrloStubModel>();
    controller = std::make_unique<COrloSDKController>(model.get());
    model->controller = controller.get();
    MakeRunChart(Chart());
}

void TestOrloController::cleanup()
{
    controller.reset();
    model.reset();
    OrloSim_Reset();
}

void TestOrloController::scriptedRun()
{
    ConnectAndRegister();
    InsertRunSheet(*Chart());
    ClearRecords();
    QList<int> events;
    while (OrloSim_DeliverOne())
        events << controller->GetLastEvent();
    QCOMPARE(events, QList<int>({3, 5, 7, 11, 11, 9, 10, 1}));

    QStringList expected = {"Orlo_StartCapture()",
                            "Orlo_GetCaptureResult(size)",
                            "Orlo_GetCaptureResult(image)",
                            "Orlo_StartPatchRecognition(7,1,layout,1,colours)",
                            "Orlo_GetPatchRecognitionResult2(0)",
                            "Orlo_GetMeasurePoint(6)",
                            "Orlo_StartMeasurement2(1,1)"};
    const QStringList options = {"Orlo_SetOption(0,3)", "Orlo_SetOption(1,2)", "Orlo_SetOption(2,0)"};
    for (int i = 0; i < 6; ++i) {
        if (i == 0 || i == 4)
            expected << options;
        expected << "Orlo_SetOption(3,12)" << QStringLiteral("Orlo_GetData(%1,152)").arg(i) << "Orlo_SetOption(3,2)"
                 << QStringLiteral("Orlo_GetData(%1,3)").arg(i);
    }
    expected << "Orlo_ExitMeasurement(0,0)"
             << "Orlo_ExitMeasurement(0,0)";
    QCOMPARE(LogLines(), expected);

    QVERIFY(model->calls.contains("SelectChartFromJobNumber(7)"));
    QCOMPARE(controller->GetRegisteredChart(), 1);
    QCOMPARE(model->stored.size(), 6);
    for (int k = 0; k < 6; ++k) {
        const StoredPatch &p = model->stored[k];
        QCOMPARE(QVector<int>({p.index, p.area, p.row, p.column}), QVector<int>({k, 0, k / 3, k % 3}));
        QVERIFY(p.blockSet);
        QVERIFY(p.displayed);
    }
    QList<int> statuses;
    for (int s : model->statuses)
        if (statuses.isEmpty() || statuses.last() != s)
            statuses << s;
    QCOMPARE(statuses, QList<int>({3, 5, 6, 7, 2}));
    QCOMPARE(model->calls.count("FinishDesignationSheet(0)"), 1);
    // No failure: only the releases of a parked message, at capture start and at the run's end; nothing shown.
    QCOMPARE(model->reports, QList<Report>({{0, 0}, {0, 0}}));
    QCOMPARE(model->shown, QList<int>());
    QVERIFY(controller->IsMeasurementStopped());
}

void TestOrloController::errorEvents_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("deviceState");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("sheets");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("message");
    QTest::addColumn<int>("status");
    QTest::newRow("101") << 101 << 0 << 7 << 1 << 0 << 0 << 10;
    QTest::newRow("102") << 102 << 0 << 7 << 1 << 0 << 0 << 11;
    QTest::newRow("103") << 103 << 0 << 7 << 1 << 0 << 0 << 1;
    QTest::newRow("201") << 201 << 0 << 7 << 1 << 20031 << 23 << 2;
    QTest::newRow("202") << 202 << 0 << 7 << 1 << 20032 << 24 << 2;
    QTest::newRow("203") << 203 << 0 << 7 << 1 << 20033 << 25 << 2;
    QTest::newRow("204") << 204 << 0 << 7 << 1 << 20065 << 34 << 2;
    QTest::newRow("205") << 205 << 0 << 5 << 1 << 20066 << 35 << 2;
    QTest::newRow("206") << 206 << 0 << 7 << 1 << 20029 << 54 << 2;
    QTest::newRow("301") << 301 << 0 << 7 << 1 << 20028 << 20 << 2;
    QTest::newRow("12") << 12 << 0 << 7 << 1 << 20053 << 61 << 2;
    QTest::newRow("302") << 302 << 0 << 5 << 1 << 20053 << 61 << 2;
    QTest::newRow("202 after 5, run held") << 202 << 1 << 5 << 1 << 20032 << 24 << 2;
    QTest::newRow("202 after 7, run held") << 202 << 1 << 7 << 2 << 20032 << 24 << 9;
}

void TestOrloController::errorEvents()
{
    QFETCH(int, code);
    QFETCH(int, deviceState);
    QFETCH(int, after);
    QFETCH(int, sheets);
    QFETCH(int, result);
    QFETCH(int, message);
    QFETCH(int, status);
    if (sheets == 2) {
        ChartDefinitionDataSheets *chart = Chart();
        std::unique_ptr<ChartDefinitionData::Sheet[]> pages = NewChartSheets(2);
        CopySheetData(&pages[0], chart->Sheets[0]);
        CopySheetData(&pages[1], chart->Sheets[0]);
        chart->Sheets = std::move(pages);
        chart->SheetCount = 2;
        model->selected.SheetCount = 2;
    }
    ConnectAndRegister();
    RunTo(after);
    OrloSim_ForceStatus(deviceState, -1, -1, -1);
    ClearRecords();
    COrloSDKController::DeviceEventFunction(code, 0, nullptr, 0);

    QVERIFY(LogLines().contains("Orlo_ExitMeasurement(0,0)"));
    QVERIFY(controller->IsMeasurementStopped());
    QCOMPARE(model->statuses.last(), status);
    QList<Report> nonZero;
    for (const Report &r : model->reports)
        if (r.first != 0)
            nonZero << r;
    if (message == 0) {
        QVERIFY(nonZero.isEmpty());
    } else {
        QCOMPARE(nonZero, QList<Report>({{result, message}}));
        QCOMPARE(model->shown, QList<int>({message})); // shown at once, never parked
    }
    const bool errorEnding = code != 101 && code != 102;
    if (deviceState == 0) {
        QCOMPARE(model->Called("EmitDesignationMeasureItemBackColor"), errorEnding);
        QCOMPARE(model->Called("ResetMeasurementBuffer"), errorEnding);
        QVERIFY(!model->Called("FinishDesignationSheet"));
    } else {
        QVERIFY(!model->Called("ResetMeasurementBuffer"));
        QVERIFY(model->Called("FinishDesignationSheet(0)"));
        QCOMPARE(model->Called("SetSheetImage(image,1)"), after == 5);
        QVERIFY(!model->Called("SetSheetImage(null"));
        const MeasurementData &page = model->buffer.GetMeasurement()->Sheets[0];
        QVERIFY(page.ImageBytes != nullptr);
        if (after == 7)
            QCOMPARE(page.RecordCount, 6); // the laid-out page is kept as it was
    }
}

void TestOrloController::connection_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("addressKind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("logged");
    QTest::newRow("usb takes the port") << 0 << 0 << "ignored" << "Orlo_Connect(1,usb0)";
    QTest::newRow("network address") << 1 << 1 << "10.0.0.5" << "Orlo_Connect(0,10.0.0.5)";
    QTest::newRow("network name") << 1 << 0 << "10.0.0.5" << "Orlo_Connect(0,ORLONET)";
    QTest::newRow("cut to 32 bytes") << 1 << 1 << QString(40, QLatin1Char('a'))
                                     << QStringLiteral("Orlo_Connect(0,%1)").arg(QString(32, QLatin1Char('a')));
}

void TestOrloController::connection()
{
    QFETCH(int, kind);
    QFETCH(int, addressKind);
    QFETCH(QString, address);
    Setting::ConnectSetting settings;
    settings.ConnectionKind = kind;
    settings.Port = QStringLiteral("usb0");
    settings.AddressKind = addressKind;
    settings.Address = address;
    settings.NetworkName = QStringLiteral("ORLONET");
    settings.DeviceName = QStringLiteral("ORS00001");
    QFETCH(QString, logged);
    controller->Connect(&settings);
    QVERIFY2(LogLines().contains(logged), qPrintable(LogLines().join('\n')));
}

void TestOrloController::connectTwiceAndElsewhere()
{
    QCOMPARE(controller->Connect(nullptr), int(COrloSDKController::kNoSettings));
    Setting::ConnectSetting settings;
    settings.Port = QStringLiteral("usb0");
    OrloSim_FailNext("Orlo_Connect", 1002);
    QCOMPARE(controller->Connect(&settings), int(COrloSDKController::kConnectFailed));
    QVERIFY(LogLines().contains("Orlo_RegisterDeviceEventHandler(null)"));
    QVERIFY(!controller->IsConnected());
    QVERIFY(controller->IsMeasurementStopped());

    OrloSim_ClearCallLog();
    OrloSim_FailNext("Orlo_Connect", 1901);
    QCOMPARE(controller->Connect(&settings), 0);
    QCOMPARE(controller->Connect(&settings), 0);
    QCOMPARE(LogLines().filter("Orlo_Connect(").size(), 1);
    OrloStatus status;
    QCOMPARE(controller->GetStatus(&status), 0);
    QCOMPARE(status.otherComputer, 1);
    QCOMPARE(controller->GetSystemInfo(), QString("ORS00001"));
    QCOMPARE(controller->GetChartImage(nullptr, 0), 0); // nothing to fill is no failure
    QCOMPARE(controller->DeleteJob(99), int(COrloSDKController::kDeleteJobFailed));
    QCOMPARE(controller->Disconnect(), 0);
    QCOMPARE(controller->RegisterJob(7, *Chart()), int(COrloSDKController::kRegisterJobNotConnected));
    QCOMPARE(controller->GetStatus(&status), int(COrloSDKController::kStatusNotConnected));
    QCOMPARE(model->statuses.last(), 0);
}

void TestOrloController::captureStartRefused()
{
    ConnectAndRegister();
    model->operationState = 3;
    ClearRecords();
    InsertRunSheet(*Chart());
    OrloSim_DeliverOne();
    QCOMPARE(model->reports.last(), Report(20067, 24));
    QVERIFY(!Logged("Orlo_StartCapture"));
    OrloSim_DeliverPending();

    model->operationState = 0;
    model->limitReached = true;
    ClearRecords();
    InsertRunSheet(*Chart());
    OrloSim_DeliverOne();
    QCOMPARE(model->reports.last(), Report(20068, 52));
    QVERIFY(!model->reports.contains(Report(20068, 24)));
    QVERIFY(!Logged("Orlo_StartCapture"));
}

// The sheet's QR code carries the chart name upper-cased: the job registered for the chart must still be the
// one the instrument names at the capture, so the run takes the registered-chart route.
void TestOrloController::jobFoundWhateverTheNameCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("upper case") << "RUNCHART";
    QTest::newRow("mixed case") << "RunChart";
    QTest::newRow("lower case") << "runchart";
    QTest::newRow("lower case, longer than 16 bytes") << "runchart-for-press-2";
}

void TestOrloController::jobFoundWhateverTheNameCase()
{
    QFETCH(QString, name);
    Chart()->ChartName = name;
    model->barcodeAccepted = false; // the QR route would stop the run
    ConnectAndRegister();
    RunTo(7);
    QVERIFY(model->calls.contains("SelectChartFromJobNumber(7)"));
    QVERIFY(!model->Called("HandleScannedBarcode"));
    QVERIFY(Logged("Orlo_StartPatchRecognition(7,1,layout"));
    QVERIFY(!Logged("Orlo_StopMeasurement"));
}

// A sheet taken as a registered job: a density run keeps its QR record (it names the print ID and the printer), a
// designation run reads no QR text; neither goes the QR route.
void TestOrloController::jobRunKeepsDensityQrRecord_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("kept");
    QTest::newRow("density with chart") << 7 << true;
    QTest::newRow("density without chart") << 8 << true;
    QTest::newRow("designation") << 0 << false;
}

void TestOrloController::jobRunKeepsDensityQrRecord()
{
    QFETCH(int, state);
    QFETCH(bool, kept);
    model->operationState = state;
    ConnectAndRegister();
    InsertRunSheet(*Chart());
    OrloSim_ClearCallLog();
    OrloSim_DeliverOne(); // 3
    OrloSim_DeliverOne(); // 5
    QVERIFY(model->calls.contains("SelectChartFromJobNumber(7)"));
    QCOMPARE(model->Called("KeepJobSheetBarcode(" + Chart()->ChartName + ")"), kept);
    QCOMPARE(Logged("Orlo_GetCaptureResult(text)"), state != 0);
    QVERIFY(!model->Called("HandleScannedBarcode"));
    QVERIFY(!model->Called("SelectDensityChartForScannedChart"));
    QVERIFY2(Logged("Orlo_StartPatchRecognition(7,"), qPrintable(LogLines().join('\n')));
}

void TestOrloController::captureResultBarcodes_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("expected"); // log line that must follow, or "stop"
    QTest::newRow("refused QR stops") << "Orlo" << false << true << 1 << "stop";
    QTest::newRow("QR of the run") << "Orlo" << true << true << 0 << "Orlo_StartPatchRecognition(7,1,layout";
    QTest::newRow("no QR code, designation tree") << "" << true << true << 1 << "Orlo_StartPatchRecognition(7,1,layout";
    QTest::newRow("no QR code, recognition tree") << "" << true << true << 0
                                                  << "Orlo_StartPatchRecognition(0,1,null,0,null)";
    QTest::newRow("QR not taken, recognition tree") << "Orlo" << true << false << 0
                                                    << "Orlo_StartPatchRecognition(0,1,null,0,null)";
}

void TestOrloController::captureResultBarcodes()
{
    QFETCH(QString, model);
    QFETCH(bool, accepted);
    QFETCH(bool, read);
    QFETCH(int, source);
    QFETCH(QString, expected);
    this->model->barcodeAccepted = accepted;
    this->model->barcodesRead = read;
    this->model->selectionSource = source;
    ConnectAndRegister(false); // no job: the capture names none
    InsertRunSheet(*Chart(), model.isEmpty() ? nullptr : "Orlo");
    OrloSim_ClearCallLog();
    OrloSim_DeliverOne(); // 3
    OrloSim_DeliverOne(); // 5
    QVERIFY(Logged("Orlo_GetCaptureResult(text)"));
    QCOMPARE(this->model->Called("HandleScannedBarcode"), model == "Orlo");
    if (expected == "stop") {
        QVERIFY(Logged("Orlo_StopMeasurement(1)"));
        QVERIFY(!Logged("Orlo_StartPatchRecognition"));
    } else {
        QVERIFY2(Logged(expected), qPrintable(LogLines().join('\n')));
    }
}

void TestOrloController::selectBySize()
{
    ConnectAndRegister(false);
    controller->SetSelectBySize(true);
    controller->SetDeviceCodeChoice(1);
    RunTo(5);
    int32_t w = 0, h = 0, b = 0;
    QCOMPARE(Orlo_GetCaptureResult(&w, &h, &b, nullptr, nullptr), 0);
    const QString pick = QStringLiteral("SelectDensityChartForScannedChart(%1,%2,B34)")
                             .arg(PixelsToUnitFixed(kUnitMm, w, 300))
                             .arg(PixelsToUnitFixed(kUnitMm, h, 300));
    QVERIFY2(model->calls.contains(pick), qPrintable(model->calls.join('\n')));
    QVERIFY(Logged("Orlo_StartPatchRecognition(7,1,layout"));
    OrloSim_DeliverPending();

    // The choice was used up: the next pick by size has none and stops.
    controller->SetSelectBySize(true);
    model->calls.clear();
    OrloSim_ClearCallLog();
    RunTo(5);
    QVERIFY(!model->Called("SelectDensityChartForScannedChart"));
    QVERIFY(Logged("Orlo_StopMeasurement(1)"));
    QVERIFY(!Logged("Orlo_StartPatchRecognition"));
    OrloSim_DeliverPending();

    // A sheet the scanner could not read: the size pick with nothing, then stop.
    OrloSim_SetCaptureFail(1);
    model->calls.clear();
    OrloSim_ClearCallLog();
    RunTo(5);
    QVERIFY(model->calls.contains("SelectDensityChartForScannedChart(0,0,)"));
    QVERIFY(Logged("Orlo_StopMeasurement(1)"));
    QVERIFY(!Logged("Orlo_StartPatchRecognition"));
}

void TestOrloController::recognitionRefusedLayouts_data()
{
    QTest::addColumn<QVector<QVector<int>>>("areas");
    QTest::addColumn<int>("total");
    QTest::newRow("sum short") << QVector<QVector<int>>{{2, 3, 6}} << 7;
    QTest::newRow("51 areas") << QVector<QVector<int>>(51, QVector<int>{1, 1, 1}) << 51;
    QTest::newRow("300 rows") << QVector<QVector<int>>{{300, 1, 300}} << 300;
    QTest::newRow("more patches than the grid") << QVector<QVector<int>>{{2, 3, 7}} << 7;
    QTest::newRow("negative rows") << QVector<QVector<int>>{{-2, -3, 6}} << 6;
}

void TestOrloController::recognitionRefusedLayouts()
{
    QFETCH(QVector<QVector<int>>, areas);
    QFETCH(int, total);
    OrloLayoutRecord layout = LayoutOf({}, total);
    layout.areaCount = areas.size();
    for (int a = 0; a < areas.size() && a < ORLO_MAX_AREAS; ++a)
        std::copy(areas[a].begin(), areas[a].end(), layout.areaCounts[a]);
    ConnectAndRegister();
    OrloSim_SetNextRecognition(0, &layout, nullptr, 0);
    RunTo(7);
    QCOMPARE(model->reports.last(), Report(20079, 26));
    QVERIFY(!Logged("Orlo_GetMeasurePoint"));
    QVERIFY(!Logged("Orlo_StartMeasurement2"));
}

void TestOrloController::recognitionNegativeOrigins()
{
    model->selectionSource = 0;
    model->barcodesRead = false;
    ConnectAndRegister(false);
    OrloLayoutRecord layout = LayoutOf({{2, 3, 6}}, 6);
    layout.areaGeometry[0][0] = -300;
    layout.areaGeometry[0][1] = -1;
    OrloSim_SetNextRecognition(0, &layout, nullptr, 0);
    RunTo(7);
    QVERIFY(model->calls.contains("SetRecognitionResult(layout,6)"));
    const ChartDefinitionData::Sheet &sheet = Chart()->Sheets[0];
    QCOMPARE(sheet.Placements[0].LeftTopX, 0);
    QCOMPARE(sheet.Placements[0].LeftTopY, 0);
    QCOMPARE(sheet.Placements[0].PatchWidthGap, 1200);
    QVERIFY(Logged("Orlo_StartMeasurement2(1,1)")); // the aperture of the settings
}

void TestOrloController::recognitionTurnedChart()
{
    ConnectAndRegister();
    OrloSim_SetPatchesPerEvent(6);
    const OrloLayoutRecord layout = LayoutOf({{3, 2, 6}}, 6);
    OrloSim_SetNextRecognition(0, &layout, nullptr, 0);
    InsertRunSheet(*Chart());
    OrloSim_DeliverPending();
    QVERIFY(model->calls.contains("SetChartRowsColumnsSwapped(1)"));
    QCOMPARE(model->stored.size(), 6);
    // Point (row r, column c) measured the registered grid position (row c, column r).
    for (const StoredPatch &p : model->stored) {
        QVERIFY(p.row < 2 && p.column < 3);
        QVERIFY(p.blockSet);
    }
    QCOMPARE(model->calls.count("FinishDesignationSheet(0)"), 1);
}

void TestOrloController::recognitionMismatch_data()
{
    QTest::addColumn<QVector<QVector<int>>>("areas");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("deviceState");
    QTest::addColumn<int>("outcome");
    QTest::newRow("rows differ") << QVector<QVector<int>>{{1, 6, 6}} << 6 << 0 << 2;
    QTest::newRow("area count") << QVector<QVector<int>>{{1, 3, 3}, {1, 3, 3}} << 6 << 0 << 3;
    QTest::newRow("patch count") << QVector<QVector<int>>{{2, 3, 5}} << 5 << 0 << 4;
    QTest::newRow("rows differ, run held") << QVector<QVector<int>>{{1, 6, 6}} << 6 << 1 << 2;
}

void TestOrloController::recognitionMismatch()
{
    QFETCH(QVector<QVector<int>>, areas);
    QFETCH(int, total);
    QFETCH(int, deviceState);
    QFETCH(int, outcome);
    ConnectAndRegister();
    const OrloLayoutRecord layout = LayoutOf(areas, total);
    OrloSim_SetNextRecognition(0, &layout, nullptr, 0);
    RunTo(5);
    OrloSim_ForceStatus(deviceState, -1, -1, -1);
    ClearRecords();
    OrloSim_DeliverOne(); // 7
    QVERIFY(!Logged("Orlo_StartMeasurement2"));
    if (deviceState == 0) {
        QCOMPARE(model->statuses.last(), 6);
        QVERIFY(model->calls.contains(QStringLiteral("EmitMatchingMessage(%1)").arg(outcome)));
    } else {
        QVERIFY(model->Called("FinishDesignationSheet(0)"));
        QVERIFY(Logged("Orlo_StopMeasurement(1)"));
        QVERIFY(model->Called("ClearPendingMeasurement"));
    }
}

void TestOrloController::unmatchedColours_data()
{
    QTest::addColumn<bool>("warningOff");
    QTest::newRow("warn") << false;
    QTest::newRow("warning switched off") << true;
}

void TestOrloController::unmatchedColours()
{
    QFETCH(bool, warningOff);
    model->environment.ColorWarning = warningOff;
    ConnectAndRegister();
    OrloSim_SetNextRecognition(16384, nullptr, nullptr, 0);
    OrloSim_ForceStatus(0, -1, -1, -1);
    RunTo(7);
    QVERIFY(model->Called("SetRecognitionResult(null,6)"));
    QCOMPARE(model->Called("EmitPatchColorUnmatch"), !warningOff);
    QCOMPARE(Logged("Orlo_StartMeasurement2(1,1)"), warningOff);
}

void TestOrloController::recognitionRefusedByLibrary()
{
    ConnectAndRegister();
    OrloSim_FailNext("Orlo_StartPatchRecognition", 1001);
    RunTo(5);
    QCOMPARE(model->reports.last(), Report(20073, 23));
}

void TestOrloController::recognitionRestarted()
{
    // A failed recognition is tried once more; the second result decides.
    ConnectAndRegister();
    OrloSim_SetNextRecognition(5, nullptr, nullptr, 0);
    RunTo(5);
    ClearRecords();
    OrloSim_DeliverOne(); // 7, failed
    QVERIFY(Logged("Orlo_StartPatchRecognition(7,1,layout,1,colours)"));
    QVERIFY(!Logged("Orlo_StartMeasurement2"));
    OrloSim_DeliverOne(); // 7, fine
    QVERIFY(Logged("Orlo_StartMeasurement2(1,1)"));

    // Asked for by the window: the recognition runs in mode 2, and a failure then ends the attempt.
    cleanup();
    init();
    model->environment.Aperture = 3;
    ConnectAndRegister();
    RunTo(5);
    OrloSim_SetNextRecognition(5, nullptr, nullptr, 0);
    OrloSim_ForceStatus(0, -1, -1, -1);
    ClearRecords();
    QCOMPARE(controller->RestartRecognition(1), 0);
    QVERIFY(Logged("Orlo_StartPatchRecognition(7,1,layout,2,colours)"));
    OrloSim_DeliverOne();
    QVERIFY(model->reports.contains(Report(20080, 24)));
    QCOMPARE(LogLines().filter("Orlo_StartPatchRecognition").size(), 1);

    // Held by the instrument, the same failure keeps the sheet and stops with a feed.
    cleanup();
    init();
    ConnectAndRegister();
    RunTo(5);
    OrloSim_SetNextRecognition(5, nullptr, nullptr, 0);
    ClearRecords();
    QCOMPARE(controller->RestartRecognition(1), 0);
    OrloSim_DeliverOne();
    QVERIFY(model->Called("FinishDesignationSheet(0)"));
    QVERIFY(Logged("Orlo_StopMeasurement(1)"));
}

void TestOrloController::lowReliabilityConfirm()
{
    model->selectionSource = 0;
    model->barcodesRead = false;
    model->environment.ConfirmChart = true;
    ConnectAndRegister(false);
    OrloSim_ForceStatus(0, -1, -1, -1);
    RunTo(7);
    QVERIFY(model->calls.contains("EmitSetMainWindowChartCanvas(1)"));
    QVERIFY(!model->Called("EmitReliableLow"));
    QVERIFY(!Logged("Orlo_StartMeasurement2"));
    QCOMPARE(model->statuses.last(), 6);
}

void TestOrloController::patchDataBounds()
{
    ConnectAndRegister();
    OrloSim_SetPatchesPerEvent(6); // every patch measured before the first event 11
    RunTo(7);
    ClearRecords();
    COrloSDKController::DeviceEventFunction(11, 0, nullptr, 50);
    QCOMPARE(LogLines().filter("Orlo_GetData(").size(), 12);
    QVERIFY(!Logged("Orlo_GetData(6,"));
    QCOMPARE(model->stored.size(), 6);
    // The same count again fetches nothing: the records are in.
    OrloSim_ClearCallLog();
    COrloSDKController::DeviceEventFunction(11, 0, nullptr, 6);
    QVERIFY(!Logged("Orlo_GetData("));
}

void TestOrloController::patchDataFailure()
{
    ConnectAndRegister();
    RunTo(7);
    OrloSim_FailNext("Orlo_GetData", 1);
    OrloSim_DeliverOne(); // 11
    QVERIFY(model->reports.contains(Report(20047, 28)));
    QVERIFY(model->stored.isEmpty());
}

void TestOrloController::latePatchAfterStop()
{
    ConnectAndRegister();
    OrloSim_SetLatePatchAfterStop(1);
    RunTo(7);
    OrloSim_DeliverOne(); // 11 with count 4
    QCOMPARE(model->stored.size(), 4);
    QCOMPARE(controller->StopMeasurement(false), 0);
    OrloSim_ClearCallLog();
    OrloSim_DeliverPending(); // the late 11 (count 5), then 10 and 1
    QCOMPARE(LogLines().filter("Orlo_GetData(4,").size(), 2);
    QVERIFY(!Logged("Orlo_GetData(5,"));
    QCOMPARE(model->stored.size(), 5);
    QVERIFY(!model->stored.last().displayed);
    QVERIFY(!model->Called("FinishDesignationSheet"));
}

void TestOrloController::sheetEndChecks()
{
    ConnectAndRegister();
    RunTo(7);
    ClearRecords();
    COrloSDKController::DeviceEventFunction(9, 0, nullptr, 0);
    QCOMPARE(model->reports.first(), Report(20036, 30));
    QVERIFY(Logged("Orlo_ExitMeasurement(0,0)"));

    cleanup();
    init();
    ConnectAndRegister();
    RunTo(7);
    ClearRecords();
    COrloSDKController::DeviceEventFunction(9, 0, nullptr, 3);
    QCOMPARE(model->reports.first(), Report(20078, 24));
}

void TestOrloController::sheetEndDensityWindow_data()
{
    QTest::addColumn<int>("request");
    QTest::newRow("eject requested") << 1;
    QTest::newRow("chart held") << 0;
}

void TestOrloController::sheetEndDensityWindow()
{
    QFETCH(int, request);
    model->operationState = 7;
    ConnectAndRegister();
    OrloSim_SetPatchesPerEvent(6);
    RunTo(11);
    controller->SetDensityEndRequest(request);
    controller->SetDensityEndPending(request);
    OrloSim_ClearCallLog();
    OrloSim_DeliverOne(); // 9
    QCOMPARE(controller->GetLastEvent(), 9);
    QCOMPARE(Logged("Orlo_ExitMeasurement"), request == 1);
    QCOMPARE(controller->GetDensityEndPending(), request == 1 ? 0 : 1);
    QVERIFY(model->Called("StoreMeasuredPatchDensity"));
    // The whole chart is stored: the density save runs, whether the sheet is held or ejected, before the job goes.
    const QStringList ends = model->calls.filter(QRegularExpression("^(Save|DeleteSelectedChartJob)"));
    QCOMPARE(ends, QStringList({"SaveDensityMeasurementAfterScan", "DeleteSelectedChartJob"}));
}

void TestOrloController::sheetEndSaves_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("allStored");
    QTest::addColumn<QStringList>("saves");
    const QStringList none;
    QTest::newRow("main window, all stored") << 0 << true << QStringList{"SaveMeasurementAfterScan"};
    QTest::newRow("density with chart, all stored") << 7 << true << QStringList{"SaveDensityMeasurementAfterScan"};
    QTest::newRow("density without chart, all stored") << 8 << true << QStringList{"SaveDensityMeasurementAfterScan"};
    QTest::newRow("settings open, all stored") << 3 << true << none;
    QTest::newRow("density balance save dialog, all stored") << 12 << true << none;
    QTest::newRow("main window, a sheet to come") << 0 << false << none;
    QTest::newRow("density with chart, a sheet to come") << 7 << false << none;
    QTest::newRow("density without chart, a sheet to come") << 8 << false << none;
}

void TestOrloController::sheetEndSaves()
{
    QFETCH(int, state);
    QFETCH(bool, allStored);
    QFETCH(QStringList, saves);
    model->operationState = state;
    ConnectAndRegister();
    model->buffer.SetPlannedSheetCount(allStored ? 0 : 1);
    ClearRecords();
    COrloSDKController::DeviceEventFunction(9, 0, nullptr, 6);
    QCOMPARE(controller->GetLastEvent(), 9);
    QCOMPARE(model->calls.filter(QRegularExpression("^Save")), saves);
}

void TestOrloController::networkSetting_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("result");
    QTest::newRow("valid") << "192.168.0.1" << 0;
    QTest::newRow("part above a byte") << "300.1.1.1" << 20027;
    QTest::newRow("three parts") << "1.2.3" << 20027;
    QTest::newRow("five parts") << "1.2.3.4.5" << 20027;
    QTest::newRow("letters") << "a.b.c.d" << 20027;
    QTest::newRow("empty") << "" << 20027;
}

void TestOrloController::networkSetting()
{
    QFETCH(QString, address);
    QFETCH(int, result);
    ConnectAndRegister(false);
    OrloNetworkSetting setting;
    setting.Name = QStringLiteral("A-VERY-LONG-NETWORK-NAME");
    setting.Dhcp = 0;
    setting.Address = address;
    setting.Mask = QStringLiteral("255.255.255.0");
    setting.Gateway = QStringLiteral("192.168.0.254");
    OrloSim_ClearCallLog();
    QCOMPARE(controller->SetNetworkSetting(setting), result);
    QCOMPARE(Logged("Orlo_SetNetworkSetting"), result == 0);
    if (result != 0)
        return;
    OrloNetworkSetting back;
    QCOMPARE(controller->GetNetworkSetting(&back), 0);
    QCOMPARE(back.Address, address);
    QCOMPARE(back.Gateway, setting.Gateway);
    QCOMPARE(back.Name, QString("A-VERY-LONG-NETW"));
}

void TestOrloController::parkedMessageReleased()
{
    // Parked during a run, released by the disconnect.
    ConnectAndRegister();
    RunTo(5);
    model->ReportError(10036, 24, false);
    QCOMPARE(model->parked, 24);
    QVERIFY(model->shown.isEmpty());
    QCOMPARE(controller->Disconnect(), 0);
    QCOMPARE(model->shown, QList<int>({24}));

    // Parked during a run whose end never came: the next capture start shows it once.
    cleanup();
    init();
    ConnectAndRegister();
    RunTo(5);
    model->ReportError(10036, 28, false);
    QCOMPARE(model->parked, 28);
    OrloSim_Reset(); // the instrument forgets the run; the program still holds the message
    OrloSim_SetDelivery(OrloSim_Manual);
    controller.reset();
    controller = std::make_unique<COrloSDKController>(model.get());
    model->controller = controller.get();
    ConnectAndRegister();
    InsertRunSheet(*Chart());
    OrloSim_DeliverOne(); // 3
    QCOMPARE(model->shown, QList<int>({28}));
    OrloSim_DeliverPending();
    QCOMPARE(model->shown, QList<int>({28}));
}

QTEST_GUILESS_MAIN(TestOrloController)
#include "test_orlo_controller.moc"
