// The density-balance window over the program's own model, opened from Tool > "Density balance/Color density
// control" as a user opens it: the selection of template and instrument; the preset chart "A4_1" with the chart
// scanner, a printed sheet whose QR code names the print ID and the printer, its pre-scan, the question for a QR
// code that matches no chart, the measured sheet and its upload to the stored printer (through an uploader that
// answers only when told); the save dialog in its two modes and a refused print ID; then the handheld "Brisa" in
// the middle of a run on the preset "Type2_SRA3".
#include "screenshooter.h"
#include "windowshots.h"

#include "modelaccess.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/tanosdk_patchposition.h"
#include "app/tanosdkcontroller.h"
#include "chart/vcgraphicsview.h"
#include "files/measuredataprintersave.h"
#include "mainwindow/printeruploader.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcmeasuredatasave.h"
#include "mainwindow/vcprogressmessage.h"
#include "mainwindow/vcselectadjustdensity.h"

#include "OrloSim.h"
#include "PellSim.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using namespace WindowShots;

// Rows of the shipped Template.lst and of the instruments each offers.
constexpr int kScannerTemplate = 7; // "Production Printer Density Balance": the chart scanner only
constexpr int kHandyTemplate = 1;   // "Sheetfed Offset Ink Key Balance": Brisa, Calen, Calen BT2
constexpr int kFirstInstrumentRow = 0;
constexpr int kBrisaModelCode = 100;
constexpr int kPrescanning = 5;
constexpr int kUnusableCharsMessage = 47;
constexpr int kCanvasTabs = 2;
constexpr int kHandyMeasurements = 4;
// Where the sheet's QR code is printed, in 0.01 mm: below the patches, at the left.
constexpr int kQrLeft = 2000;
constexpr int kQrFromBottom = 7000;
const char kScannerPreset[] = "A4_1";
const char kHandyPreset[] = "Type2_SRA3";
const char kSheetText[] = "P0001 127.0.0.1";
const char kPrintId[] = "P0001";
const char kPrinterAddress[] = "127.0.0.1";
const char kSending[] = "Measurement Data File Sending...";

template <typename T>
QWidget *OpenModal()
{
    return qobject_cast<T *>(QApplication::activeModalWidget());
}

CVCAdjustDensity *DensityWindow(ScreenShooter &shooter)
{
    return qobject_cast<CVCMainWindow *>(shooter.MainWindow())->GetAdjustDensityWindow();
}

QTreeWidgetItem *ChartItem(QWidget *window, int chartId)
{
    QTreeWidget *tree = Child<QTreeWidget>(window, "treeChartList");
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == chartId)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

int DensityChartId(CModel *model, const char *name)
{
    for (const DensityBalanceData &chart : *model->GetDensityCharts()) {
        if (chart.ChartName == QLatin1String(name))
            return chart.ID;
    }
    return 0;
}

// Delivers the scanner's events one by one until done says so or none is left; true when done said so.
bool DeliverUntil(const std::function<bool()> &done)
{
    while (!done()) {
        if (OrloSim_DeliverOne() <= 0)
            return done();
    }
    return true;
}

void DeliverAll()
{
    while (OrloSim_DeliverPending() > 0) {
    }
}

// Without a window manager a box stays in the screen's corner, and one shown again stays where it was in the
// stack, under the window raised since; a manager puts it over its window, on top.
void PlaceOver(QWidget *box, QWidget *window)
{
    box->move(window->geometry().center() - box->rect().center());
    box->raise();
}

// Uploads that start and stay pending until the entry ends them.
struct HeldUploads {
    QList<QPointer<CMeasureDataPrinterSave>> pending;
    QStringList hosts;
};

class HeldUploader : public CMeasureDataPrinterSave
{
public:
    HeldUploader(QObject *parent, HeldUploads *uploads) : CMeasureDataPrinterSave(parent), m_uploads(uploads) {}
    bool Send(const QString &host, const QString &, const QString &, const QString &) override
    {
        m_uploads->hosts << host;
        m_uploads->pending << this;
        return true;
    }

private:
    HeldUploads *m_uploads;
};

// Ends every pending upload as the printer's success page does.
void FinishUploads(HeldUploads *uploads)
{
    const QList<QPointer<CMeasureDataPrinterSave>> pending = uploads->pending;
    uploads->pending.clear();
    for (const QPointer<CMeasureDataPrinterSave> &uploader : pending) {
        if (uploader)
            emit uploader->Finished(0, 0, QString());
    }
}

// ---- The chart scanner's window -----------------------------------------------------------------------------------

struct Scene {
    int scannerChart = 0;
    int handyChart = 0;
    int measurement = 0;
    HeldUploads uploads;
};

// The scanner as the connection settings store it, delivering its events when the entry says; the printer the
// sheet's QR code names, stored; uploads held.
bool Prepare(ScreenShooter &shooter, Scene *scene)
{
    CModel *model = shooter.Model();
    OrloSim_SetDelivery(OrloSim_Manual);
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    record.ConnectionKind = 0;
    record.Port = QStringLiteral("usb0");
    record.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(record) != 0)
        return ScreenFailed(QStringLiteral("mainwindow_density: the scanner's connection was not stored"));
    const Setting::PrinterInfo printer{QStringLiteral("Local"), QStringLiteral("pw"),
                                       QString::fromLatin1(kPrinterAddress), QStringLiteral("30091")};
    // The stored record holds the printers too: the kind first, then the printer added to it.
    Setting::MeasureDataSave save = *model->GetMeasureDataSaveSetting();
    save.SaveKind = 1;
    Setting::PrinterInfo found;
    if (model->SetMeasureDataSaveSetting(save) != 0 || model->StorePrinterEntry(printer) != 0 ||
        !model->FindPrinter(printer.IPAddress, &found))
        return ScreenFailed(QStringLiteral("mainwindow_density: the printer was not stored"));
    scene->scannerChart = DensityChartId(model, kScannerPreset);
    scene->handyChart = DensityChartId(model, kHandyPreset);
    if (scene->scannerChart <= 0 || scene->handyChart <= 0)
        return ScreenFailed(QStringLiteral("mainwindow_density: the preset charts are not installed"));
    HeldUploads *uploads = &scene->uploads;
    SetPrinterUploaderFactory([uploads](QObject *parent) { return new HeldUploader(parent, uploads); });
    return true;
}

// Tool > Density balance: the selection dialog, shot when select is given, answered with the rows.
bool OpenDensityWindow(ScreenShooter &shooter, int templateRow, int instrumentRow, const QString &screen)
{
    QWidget *main = shooter.MainWindow();
    const QString what = screen.isEmpty() ? QStringLiteral("mainwindow_density: the selection") : screen;
    bool shown = false;
    bool ok = false;
    QObject guard;
    WhenShown(&guard, OpenModal<CVCSelectAdjustDensity>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *templates = Child<QListWidget>(dialog, "listTemplate");
            templates->setCurrentRow(templateRow);
            auto *instruments = Child<QListWidget>(dialog, "listInstrument");
            instruments->setCurrentRow(instrumentRow);
            if (templates->count() <= kScannerTemplate || instruments->count() <= instrumentRow)
                return ScreenFailed(what + QStringLiteral(": %1 templates, %2 instruments")
                                               .arg(templates->count())
                                               .arg(instruments->count()));
            return Child<QPushButton>(dialog, "okButton")->isEnabled() ||
                   ScreenFailed(what + QStringLiteral(": OK is not offered"));
        }, [](QDialog *dialog) { Child<QPushButton>(dialog, "okButton")->click(); });
    });
    Child<QAction>(main, "actionToolAdjustDensity")->trigger();
    if (!shown)
        return ScreenFailed(what + QStringLiteral(": no selection dialog"));
    CVCAdjustDensity *window = DensityWindow(shooter);
    if (!ok || !window->isVisible() || main->isVisible())
        return ScreenFailed(what + QStringLiteral(": the density window did not take over"));
    DeliverAll();
    return shooter.Show(window);
}

bool Select(ScreenShooter &shooter)
{
    return OpenDensityWindow(shooter, kScannerTemplate, kFirstInstrumentRow, QStringLiteral("density_01_select"));
}

// The preset chart made current in the list: drawn fitted, the scanner's two tabs.
bool ScannerWindow(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_02_scanner_window");
    CVCAdjustDensity *window = DensityWindow(shooter);
    if (!shooter.Model()->IsOrloConnected())
        return ScreenFailed(screen + QStringLiteral(": the scanner is not connected"));
    QTreeWidgetItem *chart = ChartItem(window, scene.scannerChart);
    if (!chart)
        return ScreenFailed(screen + QStringLiteral(": %1 is not listed").arg(QLatin1String(kScannerPreset)));
    Pick(chart);
    auto *tabs = Child<QTabWidget>(window, "tabChartCanvas");
    if (tabs->count() != kCanvasTabs)
        return ScreenFailed(screen + QStringLiteral(": %1 tabs").arg(tabs->count()));
    Child<CVCGraphicsView>(window, "graphicsViewOrloChartLayout")->viewport()->repaint();
    QMenu *zoom = Child<QPushButton>(window, "pushOrloChartLayoutZoomSetting")->menu();
    if (!zoom || !zoom->actions().last()->isChecked())
        return ScreenFailed(screen + QStringLiteral(": the chart is not fitted"));
    return shooter.Capture(screen, ShownViews(window));
}

// The sheet the preset chart prints: its patches in their inks, its QR code with the print ID and the printer.
int InsertPresetSheet(CModel *model, int chartId)
{
    ChartDefinitionDataSheets chart;
    if (model->ReadDensityChart(chartId, &chart) != 0 || chart.SheetCount < 1 || !chart.Sheets) {
        ClearChartDefinitionData(&chart);
        return -1;
    }
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    std::vector<OrloSimArea> areas;
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[a];
        areas.push_back({sheet.Areas[a].RowCount, sheet.Areas[a].ColumnCount, g.LeftTopX, g.LeftTopY, g.PatchWidth,
                         g.PatchHeight, g.PatchWidthGap, g.PatchHeightGap});
    }
    std::vector<float> inks;
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
        const float *v = patch.ColorValue;
        if (patch.ColorFormat == ChartDefinitionData::FormatCMYK)
            inks.insert(inks.end(), {v[0] / 100.0f, v[1] / 100.0f, v[2] / 100.0f, v[3] / 100.0f});
        else
            inks.insert(inks.end(), {1.0f - v[0] / 255.0f, 1.0f - v[1] / 255.0f, 1.0f - v[2] / 255.0f, 0.0f});
    }
    SheetInfoRecord record;
    FillSheetInfoRecord(&record, chart, 0);
    std::memcpy(record.ModelText, "Orlo", 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    std::memcpy(record.Text, kSheetText, sizeof kSheetText);
    const OrloSimSheet printed = {sheet.Width, sheet.Height, int32_t(areas.size()), areas.data(), inks.data(),
                                  reinterpret_cast<const uint8_t *>(&record), kQrLeft, sheet.Height - kQrFromBottom, 0};
    const int inserted = OrloSim_InsertSheet(&printed);
    ClearChartDefinitionData(&chart);
    return inserted;
}

// The sheet fed: the scanner's pre-scan shows the progress box and locks the list.
bool Prescanning(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_03_prescanning");
    CModel *model = shooter.Model();
    CVCAdjustDensity *window = DensityWindow(shooter);
    auto *progress = window->findChild<CVCProgressMessage *>();
    if (InsertPresetSheet(model, scene.scannerChart) != 0)
        return ScreenFailed(screen + QStringLiteral(": the sheet was not fed"));
    if (!DeliverUntil([progress] { return progress->isVisible(); }) ||
        !QTest::qWaitForWindowExposed(progress, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the progress box is not shown"));
    PlaceOver(progress, window);
    if (model->GetOrloDeviceState() != kPrescanning || Child<QDockWidget>(window, "dockChartList")->isEnabled())
        return ScreenFailed(screen + QStringLiteral(": state %1, the list not locked").arg(model->GetOrloDeviceState()));
    return shooter.Capture(screen, ShownViews(window));
}

// The question the window asks when the sheet's QR code matches no chart and the model offers the chart closest
// in size. The simulated scanner writes no preset device code into its QR codes, so the model never reaches that
// choice on its own: the entry raises it where the model does, while the sheet is being read; OK goes on with it.
bool QrUnmatched(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_04_qr_unmatched");
    CModel *model = shooter.Model();
    CVCAdjustDensity *window = DensityWindow(shooter);
    bool shown = false;
    bool ok = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            if (box->icon() != QMessageBox::Question || box->standardButtons() != (QMessageBox::Ok | QMessageBox::Cancel))
                return ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(box->text()));
            PlaceOver(box, window);
            return true;
        }, [](QDialog *dialog) { qobject_cast<QMessageBox *>(dialog)->button(QMessageBox::Ok)->click(); });
    });
    emit model->DisplayDensityMeasureContinue(scene.scannerChart);
    if (!shown)
        return ScreenFailed(screen + QStringLiteral(": no box"));
    QTreeWidgetItem *current = Child<QTreeWidget>(window, "treeChartList")->currentItem();
    if (!current || current->data(0, Qt::UserRole).toInt() != scene.scannerChart)
        return ScreenFailed(screen + QStringLiteral(": OK did not keep the chart"));
    return ok;
}

// The sheet measured: every patch in its colour, the captured page on the Measured Point tab behind it, the new
// measurement listed under its chart and current.
bool Measured(ScreenShooter &shooter, Scene *scene)
{
    const QString screen = QStringLiteral("density_05_measured");
    CModel *model = shooter.Model();
    CVCAdjustDensity *window = DensityWindow(shooter);
    int finished = 0;
    const QMetaObject::Connection spy =
        QObject::connect(model, &CModel::MeasurementFinished, [&finished, scene](int kind, int id) {
            if (kind == CModel::KindDensityMeasure) {
                ++finished;
                scene->measurement = id;
            }
        });
    DeliverUntil([&finished] { return finished > 0; });
    QObject::disconnect(spy);
    if (finished != 1)
        return ScreenFailed(screen + QStringLiteral(": no measurement was stored"));
    QTreeWidgetItem *chart = ChartItem(window, scene->scannerChart);
    if (!chart || chart->childCount() != 1)
        return ScreenFailed(screen + QStringLiteral(": the measurement is not listed under its chart"));
    if (window->findChild<CVCProgressMessage *>()->isVisible())
        return ScreenFailed(screen + QStringLiteral(": the progress box stayed"));
    auto *tabs = Child<QTabWidget>(window, "tabChartCanvas");
    if (tabs->currentIndex() != 0 || tabs->tabText(1) != QStringLiteral("Measured Point") ||
        Child<QPushButton>(window, "pushMeasurementPointPage")->text() != QStringLiteral("1 / 1"))
        return ScreenFailed(screen + QStringLiteral(": the Measured Point tab shows no page"));
    return shooter.Capture(screen, ShownViews(window));
}

QMessageBox *NoticeBox(QWidget *window)
{
    for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
        if (box->isVisible() && box->text() == QLatin1String(kSending))
            return box;
    }
    return nullptr;
}

// The sheet's end: the result file goes to the printer the QR code named, under the notice; the upload answers
// only after the shot.
bool Sending(ScreenShooter &shooter, Scene *scene)
{
    const QString screen = QStringLiteral("density_06_sending");
    CModel *model = shooter.Model();
    CVCAdjustDensity *window = DensityWindow(shooter);
    int emitted = 0;
    const QMetaObject::Connection spy =
        QObject::connect(model, &CModel::MeasureDataPrinterSave, [&emitted] { ++emitted; });
    DeliverAll();
    const QString path = AppDataDir() + QStringLiteral("/P0001_Cyan.txt");
    // The model writes the result for the printer the QR code named and announces it once.
    if (emitted != 1)
        return ScreenFailed(screen + QStringLiteral(": the model did not announce the result for the printer"));
    QObject::disconnect(spy);
    QMessageBox *notice = NoticeBox(window);
    if (scene->uploads.hosts != QStringList{QString::fromLatin1(kPrinterAddress)} || !notice)
        return ScreenFailed(screen + QStringLiteral(": no upload to the printer is shown"));
    if (!QTest::qWaitForWindowExposed(notice, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the notice is not exposed"));
    PlaceOver(notice, window);
    const bool ok = shooter.Capture(screen, ShownViews(window));
    FinishUploads(&scene->uploads);
    DeliverAll();
    if (NoticeBox(window) || QFile::exists(path) || !Child<QDockWidget>(window, "dockChartList")->isEnabled())
        return ScreenFailed(screen + QStringLiteral(": the upload's end left the notice, the file or the lock"));
    return ok;
}

QTreeWidgetItem *MeasurementItem(QWidget *window, const Scene &scene)
{
    QTreeWidgetItem *chart = ChartItem(window, scene.scannerChart);
    for (int i = 0; chart && i < chart->childCount(); ++i) {
        if (chart->child(i)->data(0, Qt::UserRole).toInt() == scene.measurement)
            return chart->child(i);
    }
    return nullptr;
}

// "Save" on the measurement's menu: the save dialog, set up by script, shot and closed; then() runs while it is
// open, after the shot (none for an empty screen).
bool SaveDialog(ScreenShooter &shooter, const Scene &scene, const QString &screen, const DialogScript &script,
                const DialogClose &close = nullptr)
{
    CVCAdjustDensity *window = DensityWindow(shooter);
    QTreeWidgetItem *item = MeasurementItem(window, scene);
    if (!item)
        return ScreenFailed(screen + QStringLiteral(": the measurement is not listed"));
    Pick(item);
    bool shown = false;
    bool ok = false;
    QObject guard;
    const bool chosen = ChooseFromMenu(item, QStringLiteral("Save"), [&] {
        WhenShown(&guard, OpenModal<CVCMeasureDataSave>, [&](QWidget *widget) {
            shown = true;
            ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, script, close);
        });
    });
    if (!chosen || !shown)
        return ScreenFailed(screen + QStringLiteral(": the menu or the dialog did not show"));
    return ok;
}

// Save mode on a folder: the print ID the QR code gave, the file name it makes.
bool SaveFolder(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_07_save_folder");
    return SaveDialog(shooter, scene, screen, [&screen](QDialog *dialog) {
        Child<QRadioButton>(dialog, "radioFolder")->click();
        auto *table = Child<QTableWidget>(dialog, "tableSaveList");
        // The label follows the fields once an edit ends: the print ID kept, the additional name typed.
        auto *printIdField = Child<QLineEdit>(dialog, "editPrintID");
        emit printIdField->editingFinished();
        auto *addition = Child<QLineEdit>(dialog, "editAddFileName");
        addition->setText(QStringLiteral("Cyan"));
        emit addition->editingFinished();
        const QString printId = printIdField->text();
        const QString label = Child<QLabel>(dialog, "labelSaveFileName")->text();
        if (!Child<QPushButton>(dialog, "pushSave")->isVisible() || table->rowCount() != 1 ||
            printId != QLatin1String(kPrintId) || label != printId + QStringLiteral("_Cyan"))
            return ScreenFailed(screen + QStringLiteral(": %1 rows, print ID \"%2\", file \"%3\"")
                                             .arg(table->rowCount())
                                             .arg(printId, label));
        return true;
    });
}

// Settings > Measurement Data Save: the setting mode on the stored printer.
bool SaveSettings(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("density_08_save_settings");
    CVCAdjustDensity *window = DensityWindow(shooter);
    bool shown = false;
    bool ok = false;
    QObject guard;
    WhenShown(&guard, OpenModal<CVCMeasureDataSave>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *table = Child<QTableWidget>(dialog, "tableSaveList");
            QStringList headers;
            for (int c = 0; c < table->columnCount(); ++c)
                headers << table->horizontalHeaderItem(c)->text();
            if (Child<QPushButton>(dialog, "pushSave")->isVisible() || !Child<QPushButton>(dialog, "okButton")->isVisible())
                return ScreenFailed(screen + QStringLiteral(": not the setting mode"));
            if (!Child<QRadioButton>(dialog, "radioPrinter")->isChecked() || table->rowCount() != 1 ||
                headers != QStringList{QStringLiteral("Name"), QStringLiteral("IP"), QStringLiteral("Port")} ||
                table->item(0, 1)->text() != QLatin1String(kPrinterAddress))
                return ScreenFailed(screen + QStringLiteral(": the printer table reads %1").arg(headers.join(',')));
            return true;
        });
    });
    Child<QAction>(window, "actionMeasureDataSave")->trigger();
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no dialog"));
}

// A print ID that would leave the folder: Save refuses it with the box of the hidden main window over the dialog.
bool PrintIdRefused(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_09_printid_refused");
    const QString text = FindMessageRecord(kUnusableCharsMessage).text;
    QWidget *main = shooter.MainWindow();
    bool refused = false;
    QObject guard;
    const bool ok = SaveDialog(shooter, scene, QString(), [&](QDialog *dialog) {
        Child<QRadioButton>(dialog, "radioFolder")->click();
        auto *printId = Child<QLineEdit>(dialog, "editPrintID");
        printId->setText(QStringLiteral("../P0001"));
        emit printId->editingFinished();
        WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
            refused = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *d) {
                auto *box = qobject_cast<QMessageBox *>(d);
                if (box->text() != text || box->parentWidget() != main || main->isVisible())
                    return ScreenFailed(screen + QStringLiteral(": the box says \"%1\", the main window %2")
                                                     .arg(box->text(), main->isVisible() ? "shown" : "hidden"));
                return true;
            });
        });
        Child<QPushButton>(dialog, "pushSave")->click();
        return refused || ScreenFailed(screen + QStringLiteral(": Save was not refused"));
    });
    return ok && refused;
}

// File > Close: the main window comes back.
bool CloseDensityWindow(ScreenShooter &shooter)
{
    CVCAdjustDensity *window = DensityWindow(shooter);
    Child<QAction>(window, "actionFileClose")->trigger();
    DeliverAll();
    if (window->isVisible() || !shooter.MainWindow()->isVisible())
        return ScreenFailed(QStringLiteral("mainwindow_density: closing the density window did not bring the main "
                                           "window back"));
    return true;
}

// ---- The handheld's window ----------------------------------------------------------------------------------------

// One measurement with the handheld, the button released first, as the poll wants it: a press on a patch, or in
// scan mode a sweep along the marked column from paper to paper. k varies the inks.
void MeasureWithHandheld(CModel *model, int k)
{
    const bool sweep = model->GetHandyScanMode();
    QList<TanoSDK_PatchPosition *> positions;
    model->GetHandyPatchPositions(positions);
    const int patches = sweep ? std::max(1, int(positions.size())) : 1;
    std::vector<float> samples;
    if (sweep)
        samples.insert(samples.end(), 4, 0.0f);
    for (int i = 0; i < patches; ++i) {
        const int n = k * 7 + i;
        samples.insert(samples.end(), {0.1f * float(n % 9), 0.08f * float((n + 3) % 11), 0.1f * float((n + 5) % 8),
                                       0.05f * float(n % 3)});
    }
    if (sweep)
        samples.insert(samples.end(), 4, 0.0f);
    PellSim_QueueSamples(samples.data(), int(samples.size() / 4));
    CTanoSDKController *tano = CModelAccess::TanoController(*model);
    PellSim_QueueButton(0, 0);
    tano->waitTimeout();
    PellSim_QueueButton(sweep ? 1 : 0, sweep ? 0 : 1);
    tano->waitTimeout();
}

// Brisa on the preset handheld chart: one tab, the run under way with part of the patches measured.
bool Handheld(ScreenShooter &shooter, const Scene &scene)
{
    const QString screen = QStringLiteral("density_10_handheld");
    CModel *model = shooter.Model();
    PellSim_SetModelCode(kBrisaModelCode);
    if (!OpenDensityWindow(shooter, kHandyTemplate, kFirstInstrumentRow, QString()))
        return false;
    CVCAdjustDensity *window = DensityWindow(shooter);
    auto *tabs = Child<QTabWidget>(window, "tabChartCanvas");
    if (tabs->count() != 1 || !model->IsHandyConnected())
        return ScreenFailed(screen + QStringLiteral(": %1 tabs, the handheld not connected").arg(tabs->count()));
    QTreeWidgetItem *chart = ChartItem(window, scene.handyChart);
    if (!chart)
        return ScreenFailed(screen + QStringLiteral(": %1 is not listed").arg(QLatin1String(kHandyPreset)));
    Pick(chart);
    auto *measurement = Child<QPushButton>(window, "pushHandyDensitometerChartLayoutMeasurement");
    if (!measurement->isEnabled())
        return ScreenFailed(screen + QStringLiteral(": Measurement is not offered"));
    int coloured = 0;
    const QMetaObject::Connection spy =
        QObject::connect(model, &CModel::SetHandyPatchColorDisplay, [&coloured] { ++coloured; });
    measurement->click();
    for (int k = 0; k < kHandyMeasurements; ++k)
        MeasureWithHandheld(model, k);
    QObject::disconnect(spy);
    auto *cancel = Child<QPushButton>(window, "pushHandyDensitometerChartLayoutCancel");
    if (coloured < kHandyMeasurements || !cancel->isVisible())
        return ScreenFailed(screen + QStringLiteral(": %1 patches measured, Cancel %2")
                                         .arg(coloured)
                                         .arg(cancel->isVisible() ? "shown" : "hidden"));
    const bool ok = shooter.Capture(screen, ShownViews(window));
    cancel->click();
    return ok && CloseDensityWindow(shooter);
}

const ScreenEntry kEntry("mainwindow_density", [](ScreenShooter &shooter) {
    Scene scene;

    const bool ok = Prepare(shooter, &scene) && Select(shooter) && ScannerWindow(shooter, scene) &&
                    Prescanning(shooter, scene) && QrUnmatched(shooter, scene) && Measured(shooter, &scene) &&
                    Sending(shooter, &scene) && SaveFolder(shooter, scene) && SaveSettings(shooter) &&
                    PrintIdRefused(shooter, scene) && CloseDensityWindow(shooter) && Handheld(shooter, scene);
    FinishUploads(&scene.uploads);
    SetPrinterUploaderFactory(PrinterUploaderFactory());
    return ok;
});

} // namespace
