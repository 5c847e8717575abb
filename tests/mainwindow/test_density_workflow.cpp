// Density balance through the whole program: the preset A4 chart measured by the simulated chart scanner from a
// sheet whose QR code names a printer, the result uploaded to the printer page script, then a handheld run on the
// preset SRA3 chart whose result is saved into a folder from the list's context menu.
#include "tests/app/modelfixture.h"
#include "tests/gui/programfixture.h"
#include "tests/mainwindow/densityaccess.h"
#include "tests/mainwindow/printerserver.h"

#include "app/model.h"
#include "app/storeconventions.h"
#include "app/tanosdkcontroller.h"
#include "chart/vcgraphicspatch.h"
#include "chart/vchandychartgraphicspatch.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcprogressmessage.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <vector>

using Access = CVCAdjustDensityAccess;

namespace {

const QString kAddress = QStringLiteral("127.0.0.1");
const QString kPort = QStringLiteral("30091");
constexpr int kScannerTemplate = 7; // "Production Printer Density Balance": the chart scanner only
constexpr int kHandyTemplate = 1;   // "Sheetfed Offset Ink Key Balance": Brisa first

int CountCalls(const QString &log, const QString &function)
{
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the selection dialog with a template row and an instrument row, then OK.
std::function<void(QDialog *)> Choose(int templateRow, int instrumentRow)
{
    return [=](QDialog *dialog) {
        dialog->findChild<QListWidget *>(QStringLiteral("listTemplate"))->setCurrentRow(templateRow);
        dialog->findChild<QListWidget *>(QStringLiteral("listInstrument"))->setCurrentRow(instrumentRow);
        dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    };
}

QTreeWidgetItem *TopLevelItem(QTreeWidget *tree, const QString &name)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == name)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

int PresetId(CModel *model, const QString &name)
{
    for (const DensityBalanceData &chart : *model->GetDensityCharts()) {
        if (chart.ChartName == name)
            return chart.ID;
    }
    return 0;
}

struct ChartCopy {
    ChartDefinitionDataSheets chart;
    ChartCopy() { InitChartDefinitionData(&chart); }
    ~ChartCopy() { ClearChartDefinitionData(&chart); }
};

// Prints the chart's first page with a QR code whose text field carries the print ID and the printer address,
// below the patches, and puts it into the feeder; 0 on success.
int InsertQrSheet(const ChartDefinitionDataSheets &chart, const QByteArray &text)
{
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    std::vector<OrloSimArea> areas;
    int bottom = 0;
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[a];
        areas.push_back({sheet.Areas[a].RowCount, sheet.Areas[a].ColumnCount, g.LeftTopX, g.LeftTopY, g.PatchWidth,
                         g.PatchHeight, g.PatchWidthGap, g.PatchHeightGap});
        bottom = std::max(bottom, g.LeftTopY + sheet.Areas[a].RowCount * g.PatchHeightGap);
    }
    std::vector<float> inks;
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float *v = sheet.Patches[k].ColorValue;
        inks.insert(inks.end(), {v[0] / 100.0f, v[1] / 100.0f, v[2] / 100.0f, v[3] / 100.0f});
    }
    static SheetInfoRecord record;
    FillSheetInfoRecord(&record, chart, 0);
    std::memcpy(record.ModelText, "Orlo", 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    std::memcpy(record.Text, text.constData(), size_t(std::min<int>(text.size(), sizeof record.Text - 1)));
    const OrloSimSheet printed = {sheet.Width,  sheet.Height, int32_t(areas.size()),
                                  areas.data(), inks.data(),  reinterpret_cast<const uint8_t *>(&record),
                                  1200,         bottom + 1000, 0};
    return OrloSim_InsertSheet(&printed);
}

// The bytes of the uploaded form part whose file name is the given one.
QByteArray UploadedFile(const QJsonArray &requests, const QString &fileName)
{
    for (const QJsonValue &request : requests) {
        for (const QJsonValue &part : request.toObject().value(QStringLiteral("parts")).toArray()) {
            if (part.toObject().value(QStringLiteral("filename_raw")).toString().contains(fileName))
                return QByteArray::fromBase64(part.toObject().value(QStringLiteral("body_b64")).toString().toLatin1());
        }
    }
    return QByteArray();
}

// The handheld view's patch item at a grid position.
CVCHandyChartGraphicsPatch *HandyPatch(QGraphicsScene *scene, int area, int row, int column)
{
    for (QGraphicsItem *item : scene->items()) {
        auto *patch = dynamic_cast<CVCHandyChartGraphicsPatch *>(item);
        int a = -1, r = -1, c = -1;
        if (patch)
            patch->GetIndices(&a, &r, &c);
        if (patch && a == area && r == row && c == column)
            return patch;
    }
    return nullptr;
}

// Patch items of a scene and how many of them show a measured colour.
QPair<int, int> MeasuredPatches(QGraphicsScene *scene)
{
    int patches = 0, measured = 0;
    for (QGraphicsItem *item : scene->items()) {
        if (auto *patch = dynamic_cast<CVCGraphicsPatch *>(item)) {
            ++patches;
            measured += patch->GetDisplay() == 2 ? 1 : 0;
        }
    }
    return {patches, measured};
}

} // namespace

class TestDensityWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void scannerUploadThenHandheldSave()
    {
        ProgramFixture program;
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString saveFolder = work.filePath(QStringLiteral("results"));
        QVERIFY(QDir().mkpath(saveFolder));
        PrinterServer server;

        program.Run([&] {
            auto *main = qobject_cast<CVCMainWindow *>(program.Window());
            CModel *model = program.Model();
            QVERIFY(main && model);
            CVCAdjustDensity *density = main->GetAdjustDensityWindow();
            Ui::AdjustDensity *form = Access::Form(density);
            QTreeWidget *list = form->treeChartList;
            ScriptedPresenter &script = program.script;
            Setting::ConnectSetting connection = *model->GetConnectSetting(nullptr);
            connection.ConnectionKind = 0;
            connection.Port = QStringLiteral("usb0");
            connection.DeviceName = QStringLiteral("ORS00001");
            QCOMPARE(model->SetConnectSetting(connection), 0);

            // ---- Chart scanner: template 7 with the scanner, the preset listed --------------------------------
            script.ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), Choose(kScannerTemplate, 0));
            main->findChild<QAction *>(QStringLiteral("actionToolAdjustDensity"))->trigger();
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            QVERIFY(!main->isVisible());
            QVERIFY(density->isVisible());
            QCOMPARE(model->IsOrloConnected(), 1);
            QVERIFY(Access::OrloConnectLabel(density)->text().startsWith(QLatin1String("Orlo")));
            QCOMPARE(form->tabChartCanvas->count(), 2);
            QTreeWidgetItem *chartItem = TopLevelItem(list, QStringLiteral("A4_1"));
            QVERIFY(chartItem);
            const int chartId = PresetId(model, QStringLiteral("A4_1"));
            QVERIFY(chartId > 0);
            QCOMPARE(chartItem->data(0, Qt::UserRole).toInt(), chartId);

            // ---- Settings > Measurement Data Save: a printer registered, stored packed ----------------------
            script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [](QDialog *dialog) {
                dialog->findChild<QRadioButton *>(QStringLiteral("radioPrinter"))->click();
                dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
            });
            script.ExpectDialog(QStringLiteral("CVCPrinterAdd"), [](QDialog *dialog) {
                const auto edit = [dialog](const char *name) {
                    return dialog->findChild<QLineEdit *>(QLatin1String(name));
                };
                edit("editPrinterName")->setText(QStringLiteral("Local"));
                edit("editPassword")->setText(QStringLiteral("pw"));
                edit("editIPAddress")->setText(kAddress);
                edit("editPort")->setText(kPort);
                dialog->findChild<QPushButton *>(QStringLiteral("pushOK"))->click();
            });
            form->actionMeasureDataSave->trigger();
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            {
                const Setting::MeasureDataSave &stored = *model->GetMeasureDataSaveSetting();
                QCOMPARE(stored.SaveKind, 1);
                QCOMPARE(stored.PrinterCount, 1);
                QCOMPARE(stored.Printers[0].Name, QStringLiteral("Local"));
                QCOMPARE(stored.Printers[0].Password, QStringLiteral("pw"));
                QCOMPARE(stored.Printers[0].IPAddress, kAddress);
                QCOMPARE(stored.Printers[0].Port, kPort);
                QVERIFY(stored.AutoTransmission);
            }
            QCOMPARE(model->GetOperationState(), int(CModel::StatusDensityWithoutChart));

            // ---- "A4_1" ticked: registered with the scanner as a job -------------------------------------------
            OrloSim_ClearCallLog();
            chartItem->setCheckState(0, Qt::Checked);
            QCOMPARE(CountCalls(QString::fromUtf8(OrloSim_CallLog()), QStringLiteral("Orlo_RegisterJob")), 1);
            QVERIFY(model->GetSelectedDensityChart());
            QCOMPARE(model->GetSelectedDensityChart()->ID, chartId);
            QVERIFY(model->GetSelectedDensityChart()->JobNumber != 0);
            QCOMPARE(list->currentItem(), chartItem);

            // ---- One printed sheet with the printer's QR code ---------------------------------------------------
            ChartCopy preset;
            QCOMPARE(model->ReadDensityChart(chartId, &preset.chart), 0);
            QCOMPARE(preset.chart.Sheets[0].PatchCount, 506);
            QVERIFY2(server.Start(QStringLiteral("sentence0"), work.filePath(QStringLiteral("report.json"))),
                     qPrintable(QStringLiteral("printer server did not start: ") + QString::fromUtf8(server.Output())));
            QCOMPARE(InsertQrSheet(preset.chart, "P0001 127.0.0.1"), 0);

            bool progressShown = false;
            bool lockedWhileMeasuring = true;
            const auto watchStates = QObject::connect(model, &CModel::UpdateOrloStatusDensity, density, [&](int s) {
                if (s == 5)
                    progressShown = Access::ProgressBox(density)->isVisible();
                if (s == 5 || s == 6 || s == 7)
                    lockedWhileMeasuring = lockedWhileMeasuring && !list->isEnabled() && Access::Busy(density);
            });
            QSignalSpy foundByQrCode(model, &CModel::FindDensityChartFound);
            // What the window is handed, seen as it starts the upload.
            QStringList announced;
            QByteArray announcedFile, exported;
            bool noticeShown = false;
            QString noticeText;
            const auto watchSave = QObject::connect(
                model, &CModel::MeasureDataPrinterSave, density, [&](const QString &address, const QString &path) {
                    announced << address << path;
                    announcedFile = ReadAll(path);
                    noticeShown = Access::NoticeBox(density).isVisible();
                    noticeText = Access::NoticeBox(density).text();
                    const ChartDesigMeasureData *measurement = model->GetSelectedDensityMeasurement();
                    const QString reference = work.filePath(QStringLiteral("reference.txt"));
                    if (measurement &&
                        model->ExportDensityMeasureData(reference, measurement->CreateTime,
                                                        model->GetTemplateTextOutput(model->GetDensityTemplateIndex()),
                                                        *model->GetMeasurementCondition(1)) == 0)
                        exported = ReadAll(reference);
                });
            QSignalSpy coloured(model, &CModel::SetPatchColorDisplayDensity);
            // The scanner takes the sheet as the ticked chart's job by its QR code's chart name: that chart is the
            // current one as its patches are measured.
            QTreeWidgetItem *currentWhenMeasured = nullptr;
            // The chart on screen as the last patch's colour has been drawn.
            QPair<int, int> shownAfterLastPatch;
            const auto watchColours = QObject::connect(model, &CModel::SetPatchColorDisplayDensity, density, [&] {
                if (coloured.size() == 1)
                    currentWhenMeasured = list->currentItem();
                if (coloured.size() == 506)
                    shownAfterLastPatch = MeasuredPatches(form->graphicsViewOrloChartLayout->scene());
            });
            QSignalSpy finished(model, &CModel::MeasurementFinished);
            QSignalSpy saveDialogAsked(model, &CModel::MeasureDataSave);
            OrloSim_ClearCallLog();
            while (OrloSim_DeliverPending() > 0) {
            }
            QString scannerLog = QString::fromUtf8(OrloSim_CallLog());

            QCOMPARE(finished.size(), 1);
            const int measureId = model->GetNewMeasurementID();
            QCOMPARE(finished.at(0), (QList<QVariant>{int(CModel::KindDensityMeasure), measureId}));
            QVERIFY(progressShown);
            QVERIFY(lockedWhileMeasuring);
            QCOMPARE(currentWhenMeasured, chartItem);
            QCOMPARE(foundByQrCode.size(), 0);
            QCOMPARE(CountCalls(scannerLog, QStringLiteral("Orlo_StartPatchRecognition")), 1);
            QCOMPARE(coloured.size(), 506);
            QObject::disconnect(watchColours);
            QCOMPARE(shownAfterLastPatch, qMakePair(506, 506));
            QCOMPARE(chartItem->childCount(), 1);
            QCOMPARE(chartItem->child(0)->data(0, Qt::UserRole).toInt(), measureId);
            QVERIFY(!Access::ProgressBox(density)->isVisible());

            const QString resultPath = AppDataDir() + QStringLiteral("/P0001_Cyan.txt");
            QCOMPARE(saveDialogAsked.size(), 0);
            QCOMPARE(announced, (QStringList{kAddress, resultPath}));
            QVERIFY(!announcedFile.isEmpty());
            QCOMPARE(announcedFile, exported);
            QVERIFY(noticeShown);
            QCOMPARE(noticeText, QStringLiteral("Measurement Data File Sending..."));

            // The upload runs in the event loop until the printer page answers.
            QTRY_VERIFY_WITH_TIMEOUT(Access::SentFilePath(density).isEmpty(), 15000);
            QObject::disconnect(watchStates);
            QObject::disconnect(watchSave);
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            QCOMPARE(UploadedFile(server.Requests(), QStringLiteral("P0001_Cyan.txt")), announcedFile);
            QVERIFY(!QFile::exists(resultPath));
            QVERIFY(!Access::NoticeBox(density).isVisible());
            scannerLog = QString::fromUtf8(OrloSim_CallLog());
            QCOMPARE(CountCalls(scannerLog, QStringLiteral("Orlo_ExitMeasurement")), 1);
            while (OrloSim_DeliverPending() > 0) {
            }
            QVERIFY(list->isEnabled());
            QVERIFY(form->menuFile->isEnabled());
            QVERIFY(!Access::Busy(density));

            // ---- Closed: the main window is back ------------------------------------------------------------------
            QVERIFY(density->close());
            QVERIFY(main->isVisible());
            QVERIFY(!density->isVisible());
            QCOMPARE(model->GetOperationState(), int(CModel::StatusMainWindow));

            // ---- Handheld: template 1 with a Brisa --------------------------------------------------------------
            PellSim_Reset();
            PellSim_SetPresent(1);
            PellSim_SetModelCode(100);
            CTanoSDKController *tano = CModelAccess::TanoController(*model);
            tano->SetSleepFunction([](unsigned long) {});
            script.ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), Choose(kHandyTemplate, 0));
            main->findChild<QAction *>(QStringLiteral("actionToolAdjustDensity"))->trigger();
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            QVERIFY(density->isVisible());
            QCOMPARE(form->tabChartCanvas->count(), 1);
            QCOMPARE(form->tabChartCanvas->widget(0), form->tabHandyDensitometerChartLayout);
            QCOMPARE(Access::HandyConnectLabel(density)->text(), QStringLiteral("Brisa 1234567"));

            QTreeWidgetItem *handyItem = TopLevelItem(list, QStringLiteral("Type2_SRA3"));
            QVERIFY(handyItem);
            QCOMPARE(handyItem->childCount(), 0);
            list->setCurrentItem(handyItem);
            QGraphicsScene *handyScene = form->graphicsViewHandyChartLayout->scene();
            // One patch at a time: the first one the instrument is taken to, the right column's top patch.
            CVCHandyChartGraphicsPatch *first = HandyPatch(handyScene, 0, 0, 29);
            QVERIFY(first);
            handyScene->clearSelection();
            first->setSelected(true);
            QVERIFY(form->pushHandyDensitometerChartLayoutMeasurement->isEnabled());
            form->pushHandyDensitometerChartLayoutMeasurement->click();
            QVERIFY(Access::Busy(density));
            QVERIFY(!form->pushHandyDensitometerChartLayoutCancel->isHidden());

            QSignalSpy handyCreated(model, &CModel::CreateDensityMeasureFinished);
            const int patches = 300;
            for (int k = 0; k < patches && handyCreated.isEmpty(); ++k) {
                const float inks[4] = {float(k % 11) / 10.0f, 0.0f, 0.0f, 0.0f};
                PellSim_QueueSamples(inks, 1);
                PellSim_QueueButton(0, 0);
                tano->waitTimeout();
                PellSim_QueueButton(0, 1);
                tano->waitTimeout();
                if (k == patches - 2)
                    QCOMPARE(handyCreated.size(), 0);
            }
            QCOMPARE(handyCreated.size(), 1);
            QCOMPARE(handyItem->childCount(), 1);
            QVERIFY(!Access::Busy(density));
            QVERIFY(form->pushHandyDensitometerChartLayoutCancel->isHidden());
            QVERIFY(!tano->IsWaiting());
            const ChartDesigMeasureData &handyRecord = model->GetDensityMeasurements()->last();
            QCOMPARE(handyItem->child(0)->data(0, Qt::UserRole).toInt(), handyRecord.ID);
            QCOMPARE(handyRecord.RecordCount, patches);

            // ---- Its context menu's Save: PrintID P0002 into a folder of the test's ---------------------------
            QTreeWidgetItem *handyMeasure = handyItem->child(0);
            list->setCurrentItem(handyMeasure);
            list->clearSelection();
            handyMeasure->setSelected(true);
            script.ExpectMenu(QString(), QStringLiteral("Save"));
            script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [](QDialog *dialog) {
                dialog->findChild<QRadioButton *>(QStringLiteral("radioFolder"))->click();
                dialog->findChild<QLineEdit *>(QStringLiteral("editPrintID"))->setText(QStringLiteral("P0002"));
                dialog->findChild<QPushButton *>(QStringLiteral("pushAdd"))->click();
                dialog->findChild<QPushButton *>(QStringLiteral("pushSave"))->click();
            });
            script.ExpectDirectory(QStringLiteral("Choose Folder"), saveFolder);
            emit list->customContextMenuRequested(list->visualItemRect(handyMeasure).center());
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            const QString saved = saveFolder + QStringLiteral("/P0002.txt");
            QVERIFY(QFile::exists(saved));
            QVERIFY(QFileInfo(saved).size() > 0);
            QCOMPARE(QDir(saveFolder).entryList(QDir::Files), QStringList{QStringLiteral("P0002.txt")});

            QVERIFY(density->close());
            QVERIFY(main->isVisible());
        });
        QVERIFY(program.BodyRan());
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
    }
};

VAREMO_PROGRAM_TEST_MAIN(TestDensityWorkflow)
#include "test_density_workflow.moc"
