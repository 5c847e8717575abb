// The main window's chart canvas, file actions and instrument messages over the program's own model: a chart of
// three pages with a measurement of pages 1 and 3 added to the seeded store, its page menu, a run under way, a
// clicked patch's values and spectra, the captured page and its patch-area editor; the scanner's warnings; File >
// Open with its four filters, the rows-by-columns and patch-order questions of a CGATS import and a name with
// unusable characters; a TIFF save onto existing page files and the export dialog's formats; the scanner's
// pre-scan error, the environment settings and Help > Manual without a manual.
#include "screenshooter.h"
#include "windowshots.h"

#include "modelaccess.h"
#include "modelfixture.h"
#include "programfixture.h"

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifypatcharea.h"
#include "mainwindow/vcmainwindow.h"
#include "platform/orlosdk/OrloSim.h"
#include "settings/vcsetting.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using namespace WindowShots;

constexpr int kSpectrumGraphWidth = 460;
constexpr int kPages = 3;
constexpr int kRows = 3;
constexpr int kColumns = 4;
constexpr int kCsvFilter = 1;
constexpr int kCgatsFilter = 3;
constexpr int kUnusableCharsMessage = 47;
constexpr int kSpectralCount = 36;
// MakeChart's placement of a patch, in 0.01 mm: its first patch's corner, the patch size and the pitch.
constexpr int kPatchLeftTop = 1000;
constexpr int kPatchSize = 1000;
constexpr int kPatchPitch = 1200;
constexpr int kScanDpi = 50;
constexpr int kPrescanFailedMessage = 23;
constexpr int kRowsColumnsDiffer = 2;
constexpr int kColourUnmatchRecord = 1;
constexpr uint kMeasuredSoFar = 5;
constexpr uint kRgb = 1;
constexpr int kManualMissingMessage = 46;
// The simulated scanner's pre-scan error: its recognition record with advice.
constexpr int kPremeasurementError = 5;
// The file dialogs' filters: File > Open's chart formats, the export's output formats.
constexpr int kOpenFilters = 4;
constexpr int kExportFilters = 10;
constexpr int kEnvironmentPage = 1;

template <typename T>
QWidget *OpenModal()
{
    return qobject_cast<T *>(QApplication::activeModalWidget());
}

QTreeWidgetItem *ItemWithId(QTreeWidgetItem *parent, int id)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->data(0, Qt::UserRole).toInt() == id)
            return parent->child(i);
    }
    return nullptr;
}

// Spectra that rise towards the red, higher from page to page, so that the graph and the pages tell apart.
void FillSpectra(MeasurementData *entry, int page)
{
    for (int k = 0; k < entry->RecordCount; ++k) {
        float *values = entry->Records[k].Values;
        for (int i = 0; i < kInstrumentValueCount; ++i)
            values[i] = 0.04f * float(page) + 0.02f * float(k) + 0.01f * float(i % kSpectralCount) +
                        0.05f * float(i / kSpectralCount);
        // The captured points lie a little lower on page 3, so the two entries differ on screen.
        entry->Records[k].Y += 300 * (page - 1);
    }
}

// The captured page: paper with each measured patch in its grey, at the scan resolution, as the scanner
// delivers it.
void PaintPage(MeasurementData *entry, const ChartDefinitionData::Sheet &sheet)
{
    const auto pixels = [](int v) { return v * kScanDpi / 2540; };
    QImage page(pixels(sheet.Width), pixels(sheet.Height), QImage::Format_Grayscale8);
    page.fill(QColor(236, 236, 236));
    QPainter painter(&page);
    for (int k = 0; k < entry->RecordCount; ++k) {
        const MeasurementData::PatchData &record = entry->Records[k];
        const QColor colour(int(record.ColorValue[0]), int(record.ColorValue[1]), int(record.ColorValue[2]));
        const int half = kPatchSize / 2;
        painter.fillRect(QRect(QPoint(pixels(record.X - half), pixels(record.Y - half)),
                               QPoint(pixels(record.X + half), pixels(record.Y + half))),
                         QColor(qGray(colour.rgb()), qGray(colour.rgb()), qGray(colour.rgb())));
    }
    painter.end();
    entry->ImageDPI = kScanDpi;
    entry->Width = page.width();
    entry->Height = page.height();
    entry->BitPerPixel = 8;
    entry->ImageBytes = NewImageBytes(size_t(page.width()) * size_t(page.height()));
    for (int y = 0; y < page.height(); ++y)
        std::copy_n(page.constScanLine(y), page.width(), entry->ImageBytes.get() + y * page.width());
}

// The chart "ThreePages" and its measurement of pages 1 and 3, written into the store as a run writes them.
bool AddThreePageChart(CDocumentData *store, int *chartId, int *measureId)
{
    ChartDefinitionDataSheets chart;
    MakeChart(&chart, kPages, kRows, kColumns);
    chart.ChartName = QStringLiteral("ThreePages");
    bool ok = store->CreateDesignationChart(&chart) == kDocumentOk;
    ClearChartDefinitionData(&chart);
    if (!ok)
        return false;
    *chartId = store->GetDesignationCharts()->last().ID;
    if (store->ReadDesignationChart(*chartId, &chart) != kDocumentOk)
        return false;
    const QList<int> pages{1, 3};
    MeasurementDataSheets measurement;
    InitMeasureFileData(&measurement);
    measurement.SerialNumber = QStringLiteral("ORS00001");
    measurement.SheetCount = pages.size();
    measurement.Sheets = NewMeasurementPages(size_t(pages.size()));
    for (int i = 0; i < pages.size(); ++i) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[pages.at(i) - 1];
        measurement.Sheets[i] = MakeSmallMeasurement(sheet, sheet.PatchCount);
        measurement.Sheets[i].PageNumber = pages.at(i);
        FillSpectra(&measurement.Sheets[i], pages.at(i));
        PaintPage(&measurement.Sheets[i], sheet);
    }
    ok = store->CreateDesignationMeasure(measureId, *chartId, &measurement) == kDocumentOk;
    for (int i = 1; ok && i < pages.size(); ++i)
        ok = store->UpdateDesignationMeasure(*measureId, measurement.Sheets[i]) == kDocumentOk;
    store->ForgetWrittenPages();
    ClearMeasureFileData(&measurement);
    ClearChartDefinitionData(&chart);
    return ok;
}

struct Documents {
    int chart = 0;
    int measure = 0;
};

bool Seed(ScreenShooter &shooter, Documents *docs)
{
    CModel *model = shooter.Model();
    auto *window = qobject_cast<QMainWindow *>(shooter.MainWindow());
    SeededStore ids;
    CDocumentData *store = CModelAccess::DocumentData(*model);
    if (!SeedStore(store, &ids) || !AddThreePageChart(store, &docs->chart, &docs->measure) ||
        model->ReadAllDocuments() != 0)
        return ScreenFailed(QStringLiteral("mainwindow_display: the documents were not read"));
    window->resizeDocks({Child<QDockWidget>(window, "dockSpectrumGraph")}, {kSpectrumGraphWidth}, Qt::Horizontal);
    return shooter.Show(window);
}

// The chart chosen in the data list is fitted to the view at its first paint; its page menu is shot open.
bool ChartFitted(ScreenShooter &shooter, const Documents &docs)
{
    const QString screen = QStringLiteral("display_01_chart_fitted");
    QWidget *window = shooter.MainWindow();
    auto *tree = Child<QTreeWidget>(window, "treeDesignation");
    QTreeWidgetItem *chart = ItemWithId(tree->invisibleRootItem(), docs.chart);
    if (!chart)
        return ScreenFailed(screen + QStringLiteral(": the chart is not listed"));
    chart->setExpanded(true);
    Pick(chart);
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(0);
    auto *view = Child<CVCGraphicsView>(window, "graphicsViewChartLayout");
    view->viewport()->repaint();
    QAction *fit = Child<QPushButton>(window, "pushChartLayoutZoom")->menu()->actions().last();
    if (!fit->isChecked())
        return ScreenFailed(screen + QStringLiteral(": the page is not fitted"));
    auto *page = Child<QPushButton>(window, "pushChartLayoutPage");
    if (page->text() != QStringLiteral("1 / 3") || !page->menu() || page->menu()->actions().size() != kPages)
        return ScreenFailed(screen + QStringLiteral(": the page button reads \"%1\"").arg(page->text()));

    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, [] { return QApplication::activePopupWidget(); }, [&](QWidget *popup) {
        shown = true;
        ok = QTest::qWaitForWindowExposed(popup, kExposeTimeoutMs) && shooter.Capture(screen, ShownViews(window));
        QTest::keyClick(popup, Qt::Key_Escape);
    });
    page->showMenu();
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": the page menu did not open"));
}

// A run under way: the scanner's patches coloured one by one, the count and the bars following.
bool Measuring(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("display_02_measuring");
    auto *window = qobject_cast<CVCMainWindow *>(shooter.MainWindow());
    const uint all = kRows * kColumns;
    for (uint k = 0; k < kMeasuredSoFar; ++k) {
        const int row = int(k) / kColumns;
        const int column = int(k) % kColumns;
        window->SetPatchColorDisplay(k, all, 0, row, column, kRgb, 240.0f - 30.0f * float(k), 40.0f * float(k), 90, 0,
                                     0, 0, 0, 0);
    }
    const QString count = QStringLiteral("%1 / %2").arg(kMeasuredSoFar).arg(all);
    if (Child<QLabel>(window, "labelChartLayoutMeasuredPatchCount")->text() != count ||
        Child<QProgressBar>(window, "progressChartLayout")->value() != int(100 * kMeasuredSoFar / all))
        return ScreenFailed(screen + QStringLiteral(": the progress does not read %1").arg(count));
    return shooter.Capture(screen, ShownViews(window));
}

// Page 3 of the measurement, chosen in the page menu, and a click on one of its patches: the values of every
// enabled condition and their spectra.
bool PatchValues(ScreenShooter &shooter, const Documents &docs)
{
    const QString screen = QStringLiteral("display_04_patch_values");
    QWidget *window = shooter.MainWindow();
    auto *tree = Child<QTreeWidget>(window, "treeDesignation");
    QTreeWidgetItem *measure = ItemWithId(ItemWithId(tree->invisibleRootItem(), docs.chart), docs.measure);
    if (!measure)
        return ScreenFailed(screen + QStringLiteral(": the measurement is not listed"));
    Pick(measure);
    auto *page = Child<QPushButton>(window, "pushChartLayoutPage");
    QAction *third = page->menu() ? page->menu()->actions().value(1) : nullptr;
    if (!third || third->text() != QStringLiteral("3"))
        return ScreenFailed(screen + QStringLiteral(": the measurement offers no page 3"));
    third->trigger();
    if (page->text() != QStringLiteral("3 / 3"))
        return ScreenFailed(screen + QStringLiteral(": page 3 is not shown"));
    Child<QDockWidget>(window, "dockMeasureData")->raise();
    // A click in the middle of the patch at row 1, column 2.
    auto *view = Child<CVCChartGraphicsView>(window, "graphicsViewChartLayout");
    const auto middle = [](int index, int dpi) {
        return (kPatchLeftTop + index * kPatchPitch + kPatchSize / 2) * dpi / 2540.0;
    };
    const QPoint click = view->mapFromScene(QPointF(middle(2, view->ResolutionX()), middle(1, view->ResolutionY())));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, click);
    auto *values = Child<QTreeWidget>(window, "treeMeasureData");
    // Page 3 numbers its patches on from the two pages before it.
    const QString id = QString::number(2 * kRows * kColumns + kColumns + 3);
    if (values->topLevelItemCount() == 0 || values->topLevelItem(0)->text(1) != id)
        return ScreenFailed(screen + QStringLiteral(": the values are not those of patch %1").arg(id));
    for (int i = 0; i < values->topLevelItemCount(); ++i)
        values->topLevelItem(i)->setExpanded(true);
    return shooter.Capture(screen, ShownViews(window));
}

// The captured page of the same measurement, with its points.
bool MeasuredPoint(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("display_05_measured_point");
    QWidget *window = shooter.MainWindow();
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(1);
    if (Child<QPushButton>(window, "pushMeasuredPointPage")->text() != QStringLiteral("3 / 3"))
        return ScreenFailed(screen + QStringLiteral(": the Measured Point tab does not show page 3"));
    if (!Child<QPushButton>(window, "pushMeasuredPointModifyPatch")->isEnabled())
        return ScreenFailed(screen + QStringLiteral(": Edit measurement points is not offered"));
    const bool ok = shooter.Capture(screen, ShownViews(window));
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(0);
    return ok;
}

// Edit measurement points on that page: the patch-area editor over it, showing the page's captured points.
bool ModifyPatch(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("display_06_modify_patch");
    QWidget *window = shooter.MainWindow();
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(1);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<CVCModifyPatchArea>, [&](QWidget *widget) {
        shown = true;
        // The shot is taken by the script, so that it waits for the editor's view to paint the page.
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), QString(), [&](QDialog *dialog) {
            auto *page = Child<QToolButton>(dialog, "pushPageButton");
            if (!page || page->text() != QStringLiteral("3 / 3"))
                return ScreenFailed(screen + QStringLiteral(": the editor does not show page 3"));
            auto *view = Child<QGraphicsView>(dialog, "graphicsView");
            int markers = 0;
            for (QGraphicsItem *item : view->scene()->items())
                markers += dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item) ? 1 : 0;
            if (markers != kRows * kColumns)
                return ScreenFailed(screen + QStringLiteral(": the editor shows %1 points").arg(markers));
            return shooter.Capture(screen, ShownViews(dialog));
        });
    });
    Child<QPushButton>(window, "pushMeasuredPointModifyPatch")->click();
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(0);
    if (!shown)
        return ScreenFailed(screen + QStringLiteral(": the editor did not open"));
    return ok && (shooter.Model()->GetOperationState() == CModel::StatusMainWindow ||
                  ScreenFailed(screen + QStringLiteral(": the window's status was not restored")));
}

QString ChartFile(const char *name)
{
    // The sample charts lie beside the main window's tests in the source tree. The compiler names this source
    // relative to the build tree, which holds the driver's bin folder.
    QDir build(QCoreApplication::applicationDirPath());
    build.cdUp();
    const QFileInfo source(build, QStringLiteral(__FILE__));
    return source.dir().absoluteFilePath(QStringLiteral("../../mainwindow/data/%1").arg(QLatin1String(name)));
}

// Qt's file dialog of the given mode with its filters, shot with the filter list open.
DialogScript FilterListOpen(const QString &screen, QFileDialog::AcceptMode mode, int filters)
{
    return [screen, mode, filters](QDialog *d) {
        auto *files = qobject_cast<QFileDialog *>(d);
        if (files->acceptMode() != mode || files->nameFilters().size() != filters)
            return ScreenFailed(screen + QStringLiteral(": the dialog offers %1 filters")
                                             .arg(files->nameFilters().size()));
        auto *combo = files->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        if (!combo)
            return ScreenFailed(screen + QStringLiteral(": the dialog has no filter list"));
        combo->showPopup();
        QWidget *list = combo->view()->window();
        return QTest::qWaitFor([list] { return list->isVisible(); }, kExposeTimeoutMs) ||
               ScreenFailed(screen + QStringLiteral(": the filter list did not open"));
    };
}

// The filter list closed first, then the dialog left with Cancel.
void CloseFilterList(QDialog *d)
{
    auto *combo = d->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    if (combo)
        combo->hidePopup();
    d->reject();
}

// File > Open: the dialog with its four filters, left with Cancel.
bool OpenDialog(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("files_01_open_dialog");
    QWidget *window = shooter.MainWindow();
    const int charts = shooter.Model()->GetDesignationCharts()->size();
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QFileDialog>, [&](QWidget *widget) {
        shown = true;
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        ok = ShootShownDialog(shooter, dialog, screen, FilterListOpen(screen, QFileDialog::AcceptOpen, kOpenFilters),
                              CloseFilterList);
    });
    Child<QAction>(window, "actionFileOpen")->trigger();
    if (!shown)
        return ScreenFailed(screen + QStringLiteral(": no file dialog"));
    if (shooter.Model()->GetDesignationCharts()->size() != charts)
        return ScreenFailed(screen + QStringLiteral(": Cancel created a chart"));
    return ok;
}

// File > Open on a CGATS file; the question that follows (of class T) is shot, set up by script and accepted.
template <typename T>
bool ImportWithQuestion(ScreenShooter &shooter, const QString &path, int filter, const QString &screen,
                        const DialogScript &script)
{
    QWidget *window = shooter.MainWindow();
    CModel *model = shooter.Model();
    const int charts = model->GetDesignationCharts()->size();
    bool chosen = false;
    bool asked = false;
    bool ok = false;
    QObject guard;
    const auto question = [&](QWidget *widget) {
        asked = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, script, [](QDialog *d) {
            d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
    };
    WhenShown(&guard, OpenModal<QFileDialog>, [&](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        chosen = QFileInfo::exists(path);
        if (!chosen) {
            ScreenFailed(screen + QStringLiteral(": no file %1").arg(path));
            dialog->reject();
            return;
        }
        dialog->selectNameFilter(dialog->nameFilters().value(filter));
        dialog->setDirectory(QFileInfo(path).absolutePath());
        dialog->selectFile(QFileInfo(path).fileName());
        WhenShown(&guard, OpenModal<T>, question);
        // Open, as its button would.
        static_cast<QDialog *>(dialog)->accept();
    });
    Child<QAction>(window, "actionFileOpen")->trigger();
    if (!chosen || !asked)
        return ScreenFailed(screen + QStringLiteral(": the file was not chosen or no question followed"));
    if (model->GetDesignationCharts()->size() != charts + 1)
        return ScreenFailed(screen + QStringLiteral(": no chart was created"));
    return ok;
}

// 100 patches set out in 5 columns: 20 rows, all of them placed.
bool RowsColumns(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("files_02_rows_columns");
    return ImportWithQuestion<QDialog>(shooter, ChartFile("chart_rows_columns.txt"), kCgatsFilter, screen, [&screen](QDialog *dialog) {
        auto *columns = dialog->findChild<QSpinBox *>(QStringLiteral("spinColumn"));
        auto *rows = dialog->findChild<QSpinBox *>(QStringLiteral("spinRow"));
        auto *count = dialog->findChild<QLabel *>(QStringLiteral("labelPatchCountValue"));
        if (!columns || !rows || !count)
            return ScreenFailed(screen + QStringLiteral(": not the layout dialog"));
        columns->setValue(5);
        if (rows->value() != 20 || count->text() != QStringLiteral("100 / 100"))
            return ScreenFailed(screen + QStringLiteral(": %1 rows, \"%2\"").arg(rows->value()).arg(count->text()));
        return true;
    });
}

// A CGATS file without its patch order: the question with "Visual" preselected, answered with it.
bool PatchOrder(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("files_03_patch_order");
    return ImportWithQuestion<QDialog>(shooter, ChartFile("chart_patch_order.txt"), kCgatsFilter, screen, [&screen](QDialog *dialog) {
        auto *visual = dialog->findChild<QRadioButton *>(QStringLiteral("radioVisual"));
        if (!visual || !visual->isChecked())
            return ScreenFailed(screen + QStringLiteral(": not the patch-order question with Visual chosen"));
        return true;
    });
}

// Instrument > Connect finds the simulated scanner on USB, as the connection settings store it.
bool Connect(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    record.ConnectionKind = 0;
    record.Port = QStringLiteral("usb0");
    record.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(record) != 0 || !model->FindConnectableOrloDevice(nullptr))
        return ScreenFailed(QStringLiteral("mainwindow_display: the simulated scanner is not found"));
    Child<QAction>(shooter.MainWindow(), "actionOrloConnect")->trigger();
    return model->IsOrloConnected() || ScreenFailed(QStringLiteral("mainwindow_display: the scanner is not connected"));
}

// A pre-scan whose rows and columns differ from the chart's: the warning offers to measure all the same.
bool MatchingWarning(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("display_03_matching_warning");
    CModel *model = shooter.Model();
    QWidget *window = shooter.MainWindow();
    const MessageAdviceRecord advice = FindMatchingWarningRecord(kRowsColumnsDiffer);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            if (box->text() != advice.message || box->button(QMessageBox::Ok)->text() != QStringLiteral("Measurement"))
                return ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(box->text()));
            return Child<QTabWidget>(window, "tabChartCanvas")->currentIndex() == 1 ||
                   ScreenFailed(screen + QStringLiteral(": the Measured Point tab is not shown"));
        }, [](QDialog *dialog) { qobject_cast<QMessageBox *>(dialog)->button(QMessageBox::Cancel)->click(); });
    });
    emit model->MatchingMessageBox(kRowsColumnsDiffer);
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(0);
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no box"));
}

// The recognised colours do not match the chart: the warning with its advice, over the captured page, with
// Edit measurement points withdrawn.
bool ColourUnmatch(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("instrument_02_colour_unmatch");
    CModel *model = shooter.Model();
    QWidget *window = shooter.MainWindow();
    const MessageAdviceRecord advice = FindRecognitionErrorRecord(kColourUnmatchRecord);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            if (box->text() != advice.message || box->informativeText() != advice.advice)
                return ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(box->text()));
            return (Child<QTabWidget>(window, "tabChartCanvas")->currentIndex() == 1 &&
                    !Child<QPushButton>(window, "pushMeasuredPointModifyPatch")->isEnabled()) ||
                   ScreenFailed(screen + QStringLiteral(": the Measured Point tab is not shown as it should be"));
        });
    });
    emit model->DisplayMainWindowPatchColorUnmatchMessage();
    Child<QTabWidget>(window, "tabChartCanvas")->setCurrentIndex(0);
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no box"));
}

// A CSV chart whose file name holds characters a chart name cannot: the window says it drops them.
bool UnusableChars(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("files_04_unusable_chars");
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Test#1.csv"));
    if (!folder.isValid() || !QFile::copy(ChartFile("chart_list.csv"), path))
        return ScreenFailed(screen + QStringLiteral(": the chart file was not copied"));
    const QString text = FindMessageRecord(kUnusableCharsMessage).text;
    return ImportWithQuestion<QMessageBox>(shooter, path, kCsvFilter, screen, [&](QDialog *dialog) {
        const QString shown = qobject_cast<QMessageBox *>(dialog)->text();
        return shown == text || ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(shown));
    });
}

// Save Tiff image data onto a name whose first page file is already there: the window asks, naming the file
// typed; No brings the dialog back, which is left with Cancel, so that nothing is written.
bool TiffOverwrite(ScreenShooter &shooter, const Documents &docs)
{
    const QString screen = QStringLiteral("files_05_tiff_overwrite");
    QWidget *window = shooter.MainWindow();
    QTreeWidgetItem *chart =
        ItemWithId(Child<QTreeWidget>(window, "treeDesignation")->invisibleRootItem(), docs.chart);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("ThreePages.tiff"));
    QFile existing(CModel::ChartImagePageFileName(path, 0));
    if (!chart || !folder.isValid() || !existing.open(QIODevice::WriteOnly))
        return ScreenFailed(screen + QStringLiteral(": the page file was not made"));
    existing.close();
    Pick(chart);
    const QString question = QFileInfo(path).fileName() + QStringLiteral(" already exists.");
    bool saved = false;
    bool asked = false;
    bool reopened = false;
    bool ok = false;
    QObject guard;
    const auto again = [&](QWidget *widget) {
        reopened = qobject_cast<QFileDialog *>(widget)->selectedFiles().value(0) == path;
        qobject_cast<QDialog *>(widget)->reject();
    };
    const auto box = [&](QWidget *widget) {
        asked = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            const QString text = qobject_cast<QMessageBox *>(dialog)->text();
            return text.startsWith(question) ||
                   ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(text));
        }, [&](QDialog *dialog) {
            WhenShown(&guard, OpenModal<QFileDialog>, again);
            qobject_cast<QMessageBox *>(dialog)->button(QMessageBox::No)->click();
        });
    };
    const bool chosen = ChooseFromMenu(chart, QStringLiteral("Save Tiff image data"), [&] {
        WhenShown(&guard, OpenModal<QFileDialog>, [&](QWidget *widget) {
            auto *dialog = qobject_cast<QFileDialog *>(widget);
            saved = true;
            dialog->setDirectory(folder.path());
            dialog->selectFile(QFileInfo(path).fileName());
            WhenShown(&guard, OpenModal<QMessageBox>, box);
            // Save, as its button would.
            static_cast<QDialog *>(dialog)->accept();
        });
    });
    if (!chosen || !saved || !asked || !reopened)
        return ScreenFailed(screen + QStringLiteral(": the menu, the dialog, the question or the dialog again did "
                                                    "not show"));
    if (QDir(folder.path()).entryList(QDir::Files).size() != 1)
        return ScreenFailed(screen + QStringLiteral(": pages were written"));
    return ok;
}

// Save on the measurement: Qt's save dialog with the export formats, shot with the list open and left with
// Cancel.
bool ExportDialog(ScreenShooter &shooter, const Documents &docs)
{
    const QString screen = QStringLiteral("files_06_export_dialog");
    QWidget *window = shooter.MainWindow();
    QTreeWidgetItem *measure =
        ItemWithId(ItemWithId(Child<QTreeWidget>(window, "treeDesignation")->invisibleRootItem(), docs.chart),
                   docs.measure);
    if (!measure)
        return ScreenFailed(screen + QStringLiteral(": the measurement is not listed"));
    Pick(measure);
    bool shown = false;
    bool ok = false;
    QObject guard;
    const bool chosen = ChooseFromMenu(measure, QStringLiteral("Save"), [&] {
        WhenShown(&guard, OpenModal<QFileDialog>, [&](QWidget *widget) {
            shown = true;
            ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen,
                                  FilterListOpen(screen, QFileDialog::AcceptSave, kExportFilters), CloseFilterList);
        });
    });
    if (!chosen || !shown)
        return ScreenFailed(screen + QStringLiteral(": the menu or the dialog did not show"));
    return ok;
}

// The scanner's pre-scan failed: the window's box gives the scanner's own error with its advice.
bool Error23(ScreenShooter &shooter, const Documents &docs)
{
    // The box over the chart of three pages rather than the busy chart just imported.
    Pick(ItemWithId(Child<QTreeWidget>(shooter.MainWindow(), "treeDesignation")->invisibleRootItem(), docs.chart));
    const QString screen = QStringLiteral("instrument_01_error_23");
    CModel *model = shooter.Model();
    OrloSim_SetPremeasurementError(kPremeasurementError);
    const MessageAdviceRecord advice = FindRecognitionErrorRecord(kPremeasurementError);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            return (box->text() == advice.message && box->informativeText() == advice.advice) ||
                   ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(box->text()));
        });
    });
    emit model->ErrorMessage(kPrescanFailedMessage);
    OrloSim_SetPremeasurementError(0);
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no box"));
}

// Settings > Environment settings: the settings dialog on its environment page, left with Escape.
bool EnvironmentSettings(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("instrument_03_environment_settings");
    CModel *model = shooter.Model();
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<CVCSetting>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *pages = Child<QTabWidget>(dialog, "tabSetting");
            if (!pages || pages->currentIndex() != kEnvironmentPage)
                return ScreenFailed(screen + QStringLiteral(": the environment page is not shown"));
            return model->GetOperationState() == CModel::StatusSettings ||
                   ScreenFailed(screen + QStringLiteral(": the window's status is %1").arg(model->GetOperationState()));
        });
    });
    Child<QAction>(shooter.MainWindow(), "actionEnvironSetting")->trigger();
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no dialog"));
}

// Help > Manual with no manual beside the program: the window says so.
bool ManualMissing(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("instrument_04_manual_missing");
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenModal<QMessageBox>, [&](QWidget *widget) {
        shown = true;
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(widget), screen, [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            return box->text() == FindMessageRecord(kManualMissingMessage).text ||
                   ScreenFailed(screen + QStringLiteral(": the box says \"%1\"").arg(box->text()));
        });
    });
    Child<QAction>(shooter.MainWindow(), "actionHelp")->trigger();
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no box"));
}

const ScreenEntry kEntry("mainwindow_display", [](ScreenShooter &shooter) {
    Documents docs;
    return Seed(shooter, &docs) && ChartFitted(shooter, docs) && Measuring(shooter) && PatchValues(shooter, docs) &&
           MeasuredPoint(shooter) && ModifyPatch(shooter) && Connect(shooter) && MatchingWarning(shooter) &&
           ColourUnmatch(shooter) && OpenDialog(shooter) && RowsColumns(shooter) && PatchOrder(shooter) &&
           UnusableChars(shooter) && TiffOverwrite(shooter, docs) && ExportDialog(shooter, docs) &&
           Error23(shooter, docs) && EnvironmentSettings(shooter) && ManualMissing(shooter);
});

} // namespace
