// The save at the end of a chart-scanner density run: the measurement file for the printer that the chart's QR code
// names, or the hand-over to the save dialog; designation and handheld runs save nothing of the kind.

#include "modelfixture.h"

#include "app/applicationdata.h"
#include "app/storeconventions.h"
#include "app/tanosdk_patchposition.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

// Prints page 0 of a chart with CMYK patches (values in percent) and a QR code below the patches whose text is
// `text`, and puts it into the scanner's feeder; 0 on success.
int InsertDensitySheet(const ChartDefinitionDataSheets &chart, const QByteArray &text)
{
    if (!chart.Sheets || chart.SheetCount < 1)
        return -1;
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    std::vector<OrloSimArea> areas;
    int bottom = 0;
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[a];
        const auto &n = sheet.Areas[a];
        areas.push_back({n.RowCount, n.ColumnCount, g.LeftTopX, g.LeftTopY, g.PatchWidth, g.PatchHeight,
                         g.PatchWidthGap, g.PatchHeightGap});
        bottom = std::max(bottom, g.LeftTopY + n.RowCount * g.PatchHeightGap);
    }
    std::vector<float> inks;
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float *v = sheet.Patches[k].ColorValue;
        inks.insert(inks.end(), {v[0] / 100.0f, v[1] / 100.0f, v[2] / 100.0f, v[3] / 100.0f});
    }
    SheetInfoRecord record;
    FillSheetInfoRecord(&record, chart, 0);
    std::memcpy(record.ModelText, "Orlo", 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    std::memcpy(record.Text, text.constData(), size_t(std::min<int>(text.size(), sizeof record.Text - 1)));
    const OrloSimSheet printed = {sheet.Width, sheet.Height, int32_t(areas.size()), areas.data(), inks.data(),
                                  reinterpret_cast<const uint8_t *>(&record), 2000, bottom + 1000, 0};
    return OrloSim_InsertSheet(&printed);
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The measurement files in the per-user data folder.
QStringList TextFiles()
{
    return QDir(AppDataDir()).entryList({QStringLiteral("*.txt")}, QDir::Files);
}

constexpr int kPresetTemplate = 7; // second number 1: the additional file name applies

} // namespace

class TestDensitySave : public QObject
{
    Q_OBJECT

    // A fresh data folder per test: runs leave documents and files behind, and a test may rename the preset.
    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<QSignalSpy> printerSaves;
    std::unique_ptr<QSignalSpy> dialogSaves;
    std::unique_ptr<QSignalSpy> finished;

    // The density window's part: a chart found by its QR code becomes the selection.
    void TakeDensityChartFoundByQrCode()
    {
        CModel *model = f->model.get();
        QObject::connect(model, &CModel::FindDensityChartFound, model,
                         [model](int id) { model->SelectFileID(CModel::KindDensityChart, id, id); });
    }

    // The preset chart of that name under the template, selected in the density window's status with the
    // scanner connected; its id, 0 when something failed.
    int OpenPreset(const QString &name, int templateRow)
    {
        int id = 0;
        for (const DensityBalanceData &chart : *f->model->GetDensityCharts())
            if (chart.ChartName == name && chart.Template == templateRow)
                id = chart.ID;
        if (id == 0 || f->model->SelectFileID(CModel::KindDensityChart, id, id) != 0)
            return 0;
        f->model->SetDensityTemplateIndex(templateRow);
        f->model->SetAppStatus(CModel::StatusDensityWithChart);
        TakeDensityChartFoundByQrCode();
        return f->ConnectUsb() == 0 ? id : 0;
    }

    // Feeds the selected chart's sheet with the QR text and delivers every event; the new measurement's id, or 0
    // when the run stored none.
    int MeasureSheet(const QByteArray &text)
    {
        if (InsertDensitySheet(*f->model->GetChartDefinition(), text) != 0)
            return 0;
        while (OrloSim_DeliverPending() > 0) {
        }
        if (finished->size() != 1 || finished->at(0).at(0).toInt() != CModel::KindDensityMeasure)
            return 0;
        return finished->at(0).at(1).toInt();
    }

    void SetAutoTransmission(bool on)
    {
        Setting::MeasureDataSave record = *f->model->GetMeasureDataSaveSetting();
        record.AutoTransmission = on;
        QCOMPARE(f->model->SetMeasureDataSaveSetting(record), 0);
    }

    // What the save dialog would write for the selected measurement.
    QByteArray ExportedBytes(const QString &path)
    {
        const ChartDesigMeasureData *record = f->model->GetSelectedDensityMeasurement();
        if (!record)
            return QByteArray();
        const int firstNumber = f->model->GetTemplateTextOutput(kPresetTemplate);
        const int result = f->model->ExportDensityMeasureData(path, record->CreateTime, firstNumber,
                                                              *f->model->GetMeasurementCondition(1));
        return result == 0 ? ReadAll(path) : QByteArray();
    }

private slots:
    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        printerSaves = std::make_unique<QSignalSpy>(f->model.get(), &CModel::MeasureDataPrinterSave);
        dialogSaves = std::make_unique<QSignalSpy>(f->model.get(), &CModel::MeasureDataSave);
        finished = std::make_unique<QSignalSpy>(f->model.get(), &CModel::MeasurementFinished);
    }

    void cleanup()
    {
        finished.reset();
        dialogSaves.reset();
        printerSaves.reset();
        f.reset();
    }

    // The file goes to the printer the QR code names: its name from the print ID and the chart's additional name.
    // A ticked chart is measured as the scanner's job, which finds the chart without its QR code; the text still
    // names the printer.
    void savedForThePrinter_data()
    {
        QTest::addColumn<QString>("chartName");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("fileName"); // %1: the measurement id as 5 digits
        const QByteArray printer("P0001 127.0.0.1");
        QTest::newRow("preset with additional name") << "A4_1" << false << printer << "P0001_Cyan.txt";
        QTest::newRow("preset ticked as a job") << "A4_1" << true << printer << "P0001_Cyan.txt";
        QTest::newRow("chart without additional name") << "DENSITY" << false << printer << "P0001.txt";
        QTest::newRow("print ID leaving the folder") << "A4_1" << false << QByteArray("../x 127.0.0.1")
                                                     << "%1_Cyan.txt";
        QTest::newRow("print ID with a colon") << "A4_1" << false << QByteArray("a:b 127.0.0.1") << "%1_Cyan.txt";
    }
    void savedForThePrinter()
    {
        QFETCH(QString, chartName);
        QFETCH(bool, ticked);
        QFETCH(QByteArray, text);
        QFETCH(QString, fileName);
        const int chartId = OpenPreset(QStringLiteral("A4_1"), kPresetTemplate);
        QVERIFY(chartId > 0);
        if (chartName != QLatin1String("A4_1")) {
            QCOMPARE(f->model->RenameDensityChart(chartName), 0);
            QCOMPARE(f->model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
            QCOMPARE(f->model->GetChartDefinition()->ChartName, chartName);
        }
        if (ticked)
            QCOMPARE(f->model->RegisterDensityChartJob(), 0);
        QSignalSpy foundByQrCode(f->model.get(), &CModel::FindDensityChartFound);
        const int id = MeasureSheet(text);
        QVERIFY(id > 0);
        QCOMPARE(foundByQrCode.size(), ticked ? 0 : 1);
        if (fileName.contains(QLatin1String("%1")))
            fileName = fileName.arg(id, 5, 10, QLatin1Char('0'));

        const QString path = AppDataDir() + QLatin1Char('/') + fileName;
        QCOMPARE(TextFiles(), QStringList{fileName});
        QCOMPARE(dialogSaves->size(), 0);
        QCOMPARE(printerSaves->size(), 1);
        QCOMPARE(printerSaves->at(0), (QList<QVariant>{QStringLiteral("127.0.0.1"), path}));
        QVERIFY(f->window->densityErrors.isEmpty());

        const QByteArray saved = ReadAll(path);
        QVERIFY(saved.contains("NUMBER_OF_SETS\t506\r\nBEGIN_DATA\r\n1\t"));
        QTemporaryDir other;
        QCOMPARE(saved, ExportedBytes(other.filePath(QStringLiteral("export.txt"))));
    }

    // Without the automatic transmission or without a printer address the user chooses in the save dialog.
    void handedToTheSaveDialog_data()
    {
        QTest::addColumn<bool>("autoTransmission");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("transmission off") << false << QByteArray("P0001 127.0.0.1");
        QTest::newRow("no address") << true << QByteArray("P0001");
        QTest::newRow("blank address") << true << QByteArray("P0001 ");
    }
    void handedToTheSaveDialog()
    {
        QFETCH(bool, autoTransmission);
        QFETCH(QByteArray, text);
        SetAutoTransmission(autoTransmission);
        QVERIFY(OpenPreset(QStringLiteral("A4_1"), kPresetTemplate) > 0);
        QVERIFY(MeasureSheet(text) > 0);
        QCOMPARE(dialogSaves->size(), 1);
        QCOMPARE(printerSaves->size(), 0);
        QCOMPARE(TextFiles(), QStringList());
        QVERIFY(f->window->densityErrors.isEmpty());
    }

    void unwritableFileReportedAndHandedToTheDialog()
    {
        QVERIFY(OpenPreset(QStringLiteral("A4_1"), kPresetTemplate) > 0);
        QVERIFY(QDir(AppDataDir()).mkdir(QStringLiteral("P0001_Cyan.txt")));
        QVERIFY(MeasureSheet("P0001 127.0.0.1") > 0);
        QCOMPARE(f->window->densityErrors, QList<int>{51});
        QCOMPARE(dialogSaves->size(), 1);
        QCOMPARE(printerSaves->size(), 0);
        QVERIFY(QFileInfo(AppDataDir() + QStringLiteral("/P0001_Cyan.txt")).isDir());
    }

    // A sheet end without a density measurement of its own saves nothing, not even the last run's again.
    void savedOncePerRun()
    {
        QVERIFY(OpenPreset(QStringLiteral("A4_1"), kPresetTemplate) > 0);
        QVERIFY(MeasureSheet("P0001 127.0.0.1") > 0);
        QCOMPARE(printerSaves->size(), 1);
        CModelAccess::OrloHost(*f->model)->SaveDensityMeasurementAfterScan();
        QCOMPARE(printerSaves->size(), 1);
        QCOMPARE(dialogSaves->size(), 0);
    }

    void designationRunExportsAsBefore()
    {
        QTemporaryDir exports;
        Setting::UserEnvironment environment = *f->model->GetUserEnvironment();
        environment.AutoExport = true;
        environment.AutoExportFolder = exports.path();
        environment.FileNameMode = 0;
        environment.AllConditionsInOneFile = 1;
        QCOMPARE(f->model->SetUserEnvironment(environment), 0);

        ChartDefinitionDataSheets chart;
        MakePrintableChart(&chart, QStringLiteral("DESIGNATION"), {{{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}}});
        const int result = f->model->CreateDesignationChart(&chart);
        ClearChartDefinitionData(&chart);
        QCOMPARE(result, 0);
        const int id = f->model->GetDesignationCharts()->last().ID;
        QCOMPARE(f->model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        QCOMPARE(f->ConnectUsb(), 0);
        QCOMPARE(f->model->RegisterDesignationChartJob(), 0);
        QCOMPARE(InsertPrintedPage(*f->model->GetChartDefinition(), 0), 0);
        while (OrloSim_DeliverPending() > 0) {
        }
        QCOMPARE(finished->size(), 1);
        QCOMPARE(finished->at(0).at(0).toInt(), int(CModel::KindDesignationMeasure));
        QCOMPARE(QDir(exports.path()).entryList(QDir::Files).size(), 1);
        QCOMPARE(printerSaves->size(), 0);
        QCOMPARE(dialogSaves->size(), 0);
    }

    // A handheld run stores a density measurement too, but nothing of it is saved, even if a sheet end follows.
    void handheldRunSavesNothing()
    {
        SetAutoTransmission(true);
        const int chartId = CreateDensityChart(f->model.get(), SmallGrid{1, 2, 3}, 1);
        QVERIFY(chartId > 0);
        QCOMPARE(f->model->SelectFileID(CModel::KindDensityChart, chartId, chartId), 0);
        f->model->SetDensityTemplateIndex(1);
        f->model->SetAppStatus(CModel::StatusDensityWithChart);
        int kind = 0;
        int serial = 0;
        QCOMPARE(f->model->OpenTanoDevice(&kind, &serial), 0);
        QCOMPARE(f->model->PrepareHandyMeasurement(), 0);

        // The handheld controller's part: one record per patch, then the window finishes the sheet.
        auto *handheld = dynamic_cast<CTanoSDKHost *>(CModelAccess::OrloHost(*f->model));
        QVERIFY(handheld);
        const ChartDefinitionData::Sheet &sheet = f->model->GetChartDefinition()->Sheets[0];
        for (int k = 0; k < sheet.PatchCount; ++k) {
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
            const TanoSDK_PatchPosition position{patch.Area, patch.Row, patch.Column};
            MeasurementData::PatchData record;
            std::fill(record.Values, record.Values + kInstrumentValueCount, 0.2f);
            record.ColorFormat = ChartDefinitionData::FormatRGB;
            QCOMPARE(handheld->StoreHandyMeasuredPatch(k, &position, sheet.PatchCount, &record, 0), 0);
        }
        QCOMPARE(f->model->FinishHandyDensitySheet(), 0);
        QCOMPARE(finished->size(), 1);
        QCOMPARE(finished->at(0).at(0).toInt(), int(CModel::KindDensityMeasure));

        CModelAccess::OrloHost(*f->model)->SaveDensityMeasurementAfterScan();
        QCOMPARE(printerSaves->size(), 0);
        QCOMPARE(dialogSaves->size(), 0);
        QCOMPARE(TextFiles(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestDensitySave)
#include "test_density_save.moc"
