// Density balance with the handheld: template 1 with a Brisa, a small chart added from a list file, one press per
// patch, the result saved from the measurement's menu, a second run cancelled, the instrument let go. The presses
// print each patch's own inks, so the saved values can be checked against the print model.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "chart/vchandychartgraphicspatch.h"
#include "chart/vchandychartgraphicsview.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"
#include "tests/app/modelaccess.h"
#include "tests/mainwindow/densityaccess.h"

#include "simprint.h"
#include "vexcolor.h"

#include <PellSim.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <array>
#include <cmath>
#include <functional>
#include <memory>

namespace {

using Inks = std::array<float, 4>; // C, M, Y, K in percent
using Access = CVCAdjustDensityAccess;

constexpr int kBrisaModelCode = 100;
constexpr int kPatchCount = 8;
constexpr int kShotAfterPresses = 4;
// Passes of the event loop a menu may take to come up, never on the clock.
constexpr int kMenuPasses = 1000;
const char kChartFile[] = VAREMO_WORKFLOW_DATA "/handheld_chart.csv";
const char kChartName[] = "handheld_chart";
const char kPrintId[] = "P0002";

template <typename T>
T *Named(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

// The chart file as the user wrote it: patch id -> its inks.
QMap<int, Inks> ChartInks()
{
    QMap<int, Inks> inks;
    QFile file(QString::fromUtf8(kChartFile));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return inks;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QStringList fields = QString::fromLatin1(file.readLine()).trimmed().split(QLatin1Char(','));
        if (fields.size() == 5)
            inks.insert(fields[0].toInt(), {fields[1].toFloat(), fields[2].toFloat(), fields[3].toFloat(),
                                            fields[4].toFloat()});
    }
    return inks;
}

// L*a*b* (D50, 2 degree) of the print model's spectrum of these inks, from the colour library itself.
std::array<float, 3> ExpectedLab(const Inks &inks)
{
    float reflectance[simprint::kBandCount];
    simprint::Reflectance({inks[0] / 100, inks[1] / 100, inks[2] / 100, inks[3] / 100}, false, reflectance);
    CalColorRecord lab{};
    lab.type = 0;
    lab.observer = 0;
    lab.illuminant = 2; // D50
    if (SpectrumToColor(reflectance, simprint::kBandCount, &lab) != 0)
        return {NAN, NAN, NAN};
    return {lab.values[0], lab.values[1], lab.values[2]};
}

QList<CVCHandyChartGraphicsPatch *> HandyPatches(QGraphicsScene *scene)
{
    QList<CVCHandyChartGraphicsPatch *> patches;
    for (QGraphicsItem *item : scene->items()) {
        if (auto *patch = dynamic_cast<CVCHandyChartGraphicsPatch *>(item))
            patches << patch;
    }
    return patches;
}

int MeasuredCount(QGraphicsScene *scene)
{
    int measured = 0;
    for (CVCHandyChartGraphicsPatch *patch : HandyPatches(scene))
        measured += patch->GetDisplay() == 2 ? 1 : 0;
    return measured;
}

CVCHandyChartGraphicsPatch *SelectedPatch(QGraphicsScene *scene)
{
    for (CVCHandyChartGraphicsPatch *patch : HandyPatches(scene)) {
        if (patch->isSelected())
            return patch;
    }
    return nullptr;
}

// The chart file's patches stand in one row, in file order: the column gives the id.
int PatchId(CVCHandyChartGraphicsPatch *patch)
{
    int area = -1, row = -1, column = -1;
    patch->GetIndices(&area, &row, &column);
    return area == 0 && row == 0 ? column + 1 : -1;
}

// Clicks the patch the instrument is taken to first: the rightmost column's top one.
QString ClickFirstPatch(CVCHandyChartGraphicsView *view)
{
    CVCHandyChartGraphicsPatch *first = nullptr;
    int firstColumn = -1;
    QRectF row;
    for (CVCHandyChartGraphicsPatch *patch : HandyPatches(view->scene())) {
        row |= patch->sceneBoundingRect();
        int area = -1, row = -1, column = -1;
        patch->GetIndices(&area, &row, &column);
        if (row == 0 && column > firstColumn) {
            first = patch;
            firstColumn = column;
        }
    }
    if (!first)
        return QStringLiteral("the chart layout shows no patch");
    // The whole row scrolled into view, as the user does before picking its first patch.
    view->ensureVisible(row);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->mapFromScene(first->sceneBoundingRect().center()));
    return first->isSelected() ? QString() : QStringLiteral("the first patch was not selected by its click");
}

// Opens the button's menu by a click and clicks the entry of that text in it.
QString ChooseMenuEntry(QPushButton *button, const QString &entryText)
{
    QMenu *menu = button->menu();
    if (!menu)
        return QStringLiteral("\"%1\" has no menu").arg(button->text());
    auto outcome = std::make_shared<QString>(QStringLiteral("the menu of \"%1\" did not open").arg(button->text()));
    // The menu runs its own loop inside the click; the poll answers it from there, trying again on the next pass
    // of the loop until it is shown.
    auto passes = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, passes, menu, entryText, outcome] {
        if (!menu->isVisible()) {
            if (++*passes < kMenuPasses)
                QTimer::singleShot(0, menu, [poll] {
                    if (*poll)
                        (*poll)();
                });
            return;
        }
        QAction *entry = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->text() == entryText)
                entry = action;
        }
        if (!entry) {
            *outcome = QStringLiteral("no entry \"%1\"").arg(entryText);
            menu->close();
        } else {
            outcome->clear();
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
        }
        *poll = nullptr;
    };
    QTimer::singleShot(0, menu, [poll] {
        if (*poll)
            (*poll)();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    // A menu that never came: the poll stops here.
    *poll = nullptr;
    if (menu->isVisible())
        menu->close();
    return *outcome;
}

// One press of the handheld's button on the selected patch, which carries these inks: a spot line in the trigger
// file, or in the QTest flow the sample and a released state before the held one.
QString Press(WorkflowRun &run, const Inks &inks)
{
    if (!run.ProgramMode()) {
        const float sample[4] = {inks[0] / 100, inks[1] / 100, inks[2] / 100, inks[3] / 100};
        PellSim_QueueSamples(sample, 1);
        PellSim_QueueButton(0, 0);
        PellSim_QueueButton(0, 1);
        return QString();
    }
    QFile trigger(run.TriggerFile());
    if (!trigger.open(QIODevice::Append | QIODevice::Text))
        return QStringLiteral("cannot write the trigger file");
    trigger.write(QStringLiteral("spot %1 %2 %3 %4\n").arg(inks[0]).arg(inks[1]).arg(inks[2]).arg(inks[3]).toLatin1());
    return QString();
}

// In program mode a run's first poll takes the button as held when a spot line is already waiting: a blank line
// first, read as the button up, and the presses count from then on.
QString ButtonUp(WorkflowRun &run)
{
    if (!run.ProgramMode())
        return QString();
    QFile trigger(run.TriggerFile());
    if (!trigger.open(QIODevice::WriteOnly | QIODevice::Text))
        return QStringLiteral("cannot write the trigger file");
    trigger.write("\n");
    trigger.close();
    return run.WaitFor([&run] { return !QFile::exists(run.TriggerFile()); })
               ? QString()
               : QStringLiteral("the handheld did not read the trigger file");
}

// The saved file's data rows by sample id: id -> the row's fields.
QMap<int, QStringList> SavedRows(const QString &path, int *declaredSets)
{
    QMap<int, QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    bool inData = false;
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.first() == QLatin1String("NUMBER_OF_SETS") && fields.size() == 2)
            *declaredSets = fields[1].toInt();
        else if (line == QLatin1String("BEGIN_DATA"))
            inData = true;
        else if (line == QLatin1String("END_DATA"))
            inData = false;
        else if (inData)
            rows.insert(fields.first().toInt(), fields);
    }
    return rows;
}

// Every patch once, with the L*a*b* of the inks its press printed.
QString CheckSavedFile(const QString &path, const QMap<int, Inks> &inks)
{
    int declared = -1;
    const QMap<int, QStringList> rows = SavedRows(path, &declared);
    if (declared != kPatchCount || rows.keys() != inks.keys()) {
        QStringList ids;
        for (int id : rows.keys())
            ids << QString::number(id);
        return QStringLiteral("%1 holds %2 sets, rows of ids %3")
            .arg(path)
            .arg(declared)
            .arg(ids.join(QLatin1Char(' ')));
    }
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        const QStringList &fields = it.value();
        const std::array<float, 3> lab = ExpectedLab(inks.value(it.key()));
        if (fields.size() != 8)
            return QStringLiteral("row %1 has %2 fields").arg(it.key()).arg(fields.size());
        for (int c = 0; c < 3; ++c) {
            const double saved = fields[5 + c].toDouble();
            if (!(std::abs(saved - lab[size_t(c)]) <= 1e-3))
                return QStringLiteral("patch %1 value %2: %3 saved, %4 expected")
                    .arg(it.key())
                    .arg(c)
                    .arg(saved)
                    .arg(lab[size_t(c)]);
        }
    }
    return QString();
}

// The stored measurement read from its file: one measured record per patch, each position once.
QString CheckStoredMeasurement(const QString &path)
{
    ChartDesigMeasureData record;
    MeasurementDataSheets measurement;
    QString problem;
    if (ReadDensityMeasureFile(&record, &measurement, path) != 0) {
        problem = QStringLiteral("the measurement file %1 does not read").arg(path);
    } else if (measurement.SheetCount != 1 || !measurement.Sheets) {
        problem = QStringLiteral("the measurement has %1 pages").arg(measurement.SheetCount);
    } else {
        const MeasurementData &page = measurement.Sheets[0];
        QSet<int> columns;
        for (int r = 0; r < page.RecordCount; ++r) {
            if (page.Records[r].Area == 0 && page.Records[r].Row == 0)
                columns.insert(page.Records[r].Column);
        }
        if (page.RecordCount != kPatchCount || page.MeasuredCount != kPatchCount || columns.size() != kPatchCount)
            problem = QStringLiteral("the page holds %1 records, %2 measured, %3 positions")
                          .arg(page.RecordCount)
                          .arg(page.MeasuredCount)
                          .arg(columns.size());
    }
    ClearMeasureFileData(&measurement);
    return problem;
}

} // namespace

void RunHandheld(WorkflowRun &run)
{
    const QMap<int, Inks> inks = ChartInks();
    const QString resultFolder = run.WorkDir() + QStringLiteral("/handheld_results");
    QString measurePath;
    run.Step(QStringLiteral("chart file"));
    WF_VERIFY(run, inks.size() == kPatchCount);
    WF_VERIFY(run, QDir().mkpath(resultFolder));

    const int exitCode = run.Start([&](CVCMainWindow *window) {
        CModel *model = window->GetModel();
        CVCAdjustDensity *density = window->GetAdjustDensityWindow();
        Ui::AdjustDensity *form = Access::Form(density);
        QTreeWidget *list = form->treeChartList;
        CVCHandyChartGraphicsView *view = form->graphicsViewHandyChartLayout;
        QPushButton *measure = form->pushHandyDensitometerChartLayoutMeasurement;
        QPushButton *cancel = form->pushHandyDensitometerChartLayoutCancel;

        run.Step(QStringLiteral("open with a Brisa"));
        PellSim_SetModelCode(kBrisaModelCode);
        QString choice;
        ModalAnswer select([&choice](QWidget *dialog) {
            auto *templates = Named<QListWidget>(dialog, "listTemplate");
            auto *instruments = Named<QListWidget>(dialog, "listInstrument");
            if (!templates || !instruments || templates->count() < 2) {
                choice = QStringLiteral("no template list");
                return;
            }
            QTest::mouseClick(templates->viewport(), Qt::LeftButton, Qt::NoModifier,
                              templates->visualItemRect(templates->item(1)).center());
            const QList<QListWidgetItem *> brisa = instruments->findItems(QStringLiteral("Brisa"), Qt::MatchExactly);
            if (templates->currentRow() != 1 || brisa.isEmpty()) {
                choice = QStringLiteral("template 1 offers no Brisa");
                return;
            }
            QTest::mouseClick(instruments->viewport(), Qt::LeftButton, Qt::NoModifier,
                              instruments->visualItemRect(brisa.first()).center());
            QTest::mouseClick(Named<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        });
        WF_DO(run,
              TriggerMenu(window, QStringLiteral("Tool"), QStringLiteral("Density balance/Color density control")));
        WF_DO(run, select.Problem());
        WF_DO(run, choice);
        WF_WAIT(run, density->isVisible() && !window->isVisible());
        WF_VERIFY(run, density->windowTitle() == QLatin1String("Sheetfed Offset Ink Key Balance : Brisa"));
        WF_VERIFY(run, form->tabChartCanvas->count() == 1);
        WF_VERIFY(run, form->tabChartCanvas->widget(0) == form->tabHandyDensitometerChartLayout);
        WF_VERIFY(run, Access::HandyConnectLabel(density)->text() == QLatin1String("Brisa 1234567"));
        WF_VERIFY(run, form->actionOrloDisconnect->isVisible() && !form->actionOrloConnect->isVisible());

        run.Step(QStringLiteral("add the chart"));
        QString opened;
        ModalAnswer open([&opened](QWidget *dialog) {
            opened = AnswerFileDialog(dialog, QString::fromUtf8(kChartFile), QStringLiteral("csv File (*.csv)"));
        });
        QTest::mouseClick(form->pushAddChart, Qt::LeftButton);
        WF_DO(run, open.Problem());
        WF_DO(run, opened);
        QTreeWidgetItem *chartItem = TopLevelNamed(list, QString::fromLatin1(kChartName));
        WF_VERIFY(run, chartItem);
        ClickItem(list, chartItem);
        WF_VERIFY(run, list->currentItem() == chartItem);
        WF_WAIT(run, HandyPatches(view->scene()).size() == kPatchCount);
        for (CVCHandyChartGraphicsPatch *patch : HandyPatches(view->scene()))
            WF_VERIFY(run, PatchId(patch) >= 1 && PatchId(patch) <= kPatchCount);
        WF_VERIFY(run, measure->isEnabled() && measure->isVisible());
        // The one row of patches enlarged, so that the pictures show which are measured.
        WF_DO(run, ChooseMenuEntry(form->pushHandyDensitometerChartLayoutZoomSetting, QStringLiteral("200%")));
        WF_VERIFY(run, form->hSliderHandyDensitometerChartLayoutZoom->value() == 200);

        run.Step(QStringLiteral("measure"));
        QTest::mouseClick(measure, Qt::LeftButton);
        WF_VERIFY(run, cancel->isVisible() && !measure->isVisible());
        WF_VERIFY(run, !form->dockChartList->isEnabled() && !form->menuFile->isEnabled());
        WF_DO(run, ClickFirstPatch(view));
        WF_DO(run, ButtonUp(run));
        for (int press = 0; press < kPatchCount; ++press) {
            run.Step(QStringLiteral("press %1").arg(press + 1));
            CVCHandyChartGraphicsPatch *target = SelectedPatch(view->scene());
            WF_VERIFY(run, target);
            WF_VERIFY(run, target->GetDisplay() != 2);
            WF_DO(run, Press(run, inks.value(PatchId(target))));
            const bool last = press == kPatchCount - 1;
            WF_WAIT(run, last ? chartItem->childCount() == 1 : MeasuredCount(view->scene()) == press + 1);
            if (press + 1 == kShotAfterPresses)
                WF_DO(run, run.Shoot(QStringLiteral("handheld_01_measuring")));
        }

        run.Step(QStringLiteral("measured"));
        QTreeWidgetItem *measureItem = chartItem->child(0);
        WF_VERIFY(run, list->currentItem() == measureItem);
        WF_VERIFY(run, measureItem->text(2) == QString::number(kPatchCount));
        WF_VERIFY(run, form->dockChartList->isEnabled() && form->menuFile->isEnabled());
        WF_VERIFY(run, !cancel->isVisible() && measure->isVisible());
        measurePath = CModelAccess::DocumentData(*model)->DensityMeasurePath(chartItem->data(0, Qt::UserRole).toInt(),
                                                                            measureItem->data(0, Qt::UserRole).toInt());

        run.Step(QStringLiteral("save"));
        QString saveProblem;
        ModalAnswer save([&](QWidget *dialog) {
            auto *folderKind = Named<QRadioButton>(dialog, "radioFolder");
            auto *add = Named<QPushButton>(dialog, "pushAdd");
            auto *printId = Named<QLineEdit>(dialog, "editPrintID");
            auto *saveButton = Named<QPushButton>(dialog, "pushSave");
            if (!folderKind || !add || !printId || !saveButton) {
                saveProblem = QStringLiteral("the save dialog lacks its fields");
                return;
            }
            if (!folderKind->isChecked()) {
                folderKind->setFocus();
                QTest::keyClick(folderKind, Qt::Key_Space);
            }
            QString chosen;
            {
                ModalAnswer folder([&](QWidget *chooser) { chosen = AnswerFileDialog(chooser, resultFolder); });
                QTest::mouseClick(add, Qt::LeftButton);
                if (chosen.isEmpty())
                    chosen = folder.Problem();
            }
            if (!chosen.isEmpty()) {
                saveProblem = chosen;
                return;
            }
            printId->setFocus();
            QTest::keyClicks(printId, QString::fromLatin1(kPrintId));
            QTest::mouseClick(saveButton, Qt::LeftButton);
        });
        ClickItem(list, measureItem);
        WF_DO(run, ContextMenuEntry(list, measureItem, QStringLiteral("Save")));
        WF_DO(run, save.Problem());
        WF_DO(run, saveProblem);
        WF_VERIFY(run, QDir(resultFolder).entryList(QDir::Files) == QStringList{QStringLiteral("P0002.txt")});
        // A newly shown measurement is fitted into the view: enlarged again, and a measured patch clicked, so that
        // its values stand beside the saved measurement.
        WF_DO(run, ChooseMenuEntry(form->pushHandyDensitometerChartLayoutZoomSetting, QStringLiteral("200%")));
        WF_DO(run, ClickFirstPatch(view));
        WF_DO(run, run.Shoot(QStringLiteral("handheld_02_saved")));

        run.Step(QStringLiteral("cancel mid-run"));
        QTest::mouseClick(measure, Qt::LeftButton);
        WF_VERIFY(run, cancel->isVisible());
        WF_DO(run, ClickFirstPatch(view));
        WF_DO(run, ButtonUp(run));
        CVCHandyChartGraphicsPatch *target = SelectedPatch(view->scene());
        WF_VERIFY(run, target);
        WF_DO(run, Press(run, inks.value(PatchId(target))));
        WF_WAIT(run, MeasuredCount(view->scene()) == 1);
        QTest::mouseClick(cancel, Qt::LeftButton);
        CTanoSDKController *handheld = CModelAccess::TanoController(*model);
        WF_VERIFY(run, !handheld->IsWaiting());
        PellSim_ClearCallLog();
        WF_VERIFY(run, form->dockChartList->isEnabled());
        for (QAction *menu : density->menuBar()->actions())
            WF_VERIFY(run, menu->isEnabled());
        WF_VERIFY(run, !cancel->isVisible() && measure->isVisible() && measure->isEnabled());
        WF_VERIFY(run, chartItem->childCount() == 1);

        run.Step(QStringLiteral("disconnect"));
        WF_DO(run, TriggerMenu(density, QStringLiteral("Instrument"), QStringLiteral("Disconnect")));
        WF_VERIFY(run, Access::HandyConnectLabel(density)->text().isEmpty());
        WF_VERIFY(run, form->actionOrloConnect->isVisible() && !form->actionOrloDisconnect->isVisible());
        WF_VERIFY(run, !model->IsHandyConnected());
        // Nothing polled the button between the cancel and the disconnect.
        WF_VERIFY(run, !QString::fromUtf8(PellSim_CallLog()).contains(QLatin1String("ZUGetButtonStatus")));

        run.Step(QStringLiteral("close"));
        WF_DO(run, TriggerMenu(density, QStringLiteral("File"), QStringLiteral("Close")));
        WF_WAIT(run, window->isVisible() && !density->isVisible());
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("ended"));
    WF_VERIFY(run, run.WalkRan());
    WF_VERIFY(run, exitCode == 0);

    run.Step(QStringLiteral("stored measurement"));
    WF_DO(run, CheckStoredMeasurement(measurePath));
    run.Step(QStringLiteral("saved file"));
    WF_DO(run, CheckSavedFile(resultFolder + QStringLiteral("/P0002.txt"), inks));
}
