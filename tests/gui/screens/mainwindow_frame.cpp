// The main window's frame over the program's own model: the splash while the program starts, the first show,
// About, the simulated scanner connected, pre-scanning and an open cover; the data list over a seeded store with
// its menus, editor and refusals; and the window as a second one finds it after the first was closed.
#include "screenshooter.h"
#include "windowshots.h"

#include "modelaccess.h"
#include "programfixture.h"

#include "app/model.h"
#include "app/startup.h"
#include "app/widgets/conditiontree.h"
#include "chart/vcgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcprogressmessage.h"
#include "mainwindow/vcstartupscreen.h"
#include "mainwindow/vcversion.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

using namespace WindowShots;

constexpr int kPrescanning = 5;
constexpr int kCoverOpen = 10;
constexpr int kSpectrumGraphWidth = 460;

bool HasStatusText(QWidget *window, const QString &text)
{
    for (QLabel *label : Child<QStatusBar>(window, "statusBar")->findChildren<QLabel *>()) {
        if (label->text() == text)
            return true;
    }
    return false;
}

// Runs at the step after the splash appeared: no main window exists yet.
bool Splash(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_01_splash");
    CVCStartupScreen *splash = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!splash)
            splash = qobject_cast<CVCStartupScreen *>(widget);
    }
    if (!splash || !splash->isVisible())
        return ScreenFailed(screen + QStringLiteral(": no splash on screen"));
    if (!QTest::qWaitForWindowExposed(splash, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the splash is not exposed"));
    bool version = false;
    for (QLabel *label : splash->findChildren<QLabel *>())
        version = version || label->text().startsWith(QStringLiteral("Ver. "));
    if (splash->pixmap().isNull() || !version)
        return ScreenFailed(screen + QStringLiteral(": the picture or its version line is missing"));
    return shooter.Capture(screen, {});
}

bool FirstShow(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_02_first_show");
    QWidget *window = shooter.MainWindow();
    if (!window->isVisible())
        return ScreenFailed(screen + QStringLiteral(": the splash did not show the main window"));
    return shooter.Show(window) && shooter.Capture(screen, ShownViews(window));
}

// Help > About, through the window's own action.
bool About(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_03_about");
    CModel *model = shooter.Model();
    bool ok = false;
    bool shown = false;
    // Dropped unfired when the action shows nothing.
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        shown = true;
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *about = qobject_cast<CVCVersion *>(modal)) {
            ok = ShootShownDialog(shooter, about, screen, [&screen, model](QDialog *) {
                return model->GetOperationState() == CModel::StatusAbout ||
                       ScreenFailed(screen + QStringLiteral(": the program is not in its About status"));
            });
        } else {
            ok = ScreenFailed(screen + QStringLiteral(": another dialog is shown"));
            if (auto *other = qobject_cast<QDialog *>(modal))
                other->reject();
        }
    });
    Child<QAction>(shooter.MainWindow(), "actionHelpVersion")->trigger();
    if (!shown)
        return ScreenFailed(screen + QStringLiteral(": About was not shown"));
    if (ok && model->GetOperationState() != CModel::StatusMainWindow)
        return ScreenFailed(screen + QStringLiteral(": the main window's status is not back"));
    return ok;
}

// Instrument > Connect finds the simulated scanner on USB; the Instrument menu is shot open.
bool Connected(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_04_connected");
    CModel *model = shooter.Model();
    QWidget *window = shooter.MainWindow();
    // As the connection settings store the scanner; a connection that failed would open them over the shot.
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    record.ConnectionKind = 0;
    record.Port = QStringLiteral("usb0");
    record.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(record) != 0 || !model->FindConnectableOrloDevice(nullptr))
        return ScreenFailed(screen + QStringLiteral(": the simulated scanner is not found"));
    Child<QAction>(window, "actionOrloConnect")->trigger();

    QAction *toggle = Child<QAction>(window, "actionOrloConnectDisconnect");
    QAction *disconnect = Child<QAction>(window, "actionOrloDisconnect");
    if (!model->IsOrloConnected() || !toggle->isChecked())
        return ScreenFailed(screen + QStringLiteral(": the scanner is not connected"));
    if (!HasStatusText(window, QStringLiteral("Orlo ORS00001")))
        return ScreenFailed(screen + QStringLiteral(": the status bar does not name the scanner"));
    if (!disconnect->isVisible() || Child<QAction>(window, "actionOrloConnect")->isVisible())
        return ScreenFailed(screen + QStringLiteral(": the Instrument menu does not offer Disconnect"));

    // The open menu would cover the tool bar's connection toggle: for this shot the tool bar sits at the bottom,
    // where a user may drag it.
    auto *mainWindow = qobject_cast<QMainWindow *>(window);
    auto *toolBar = Child<QToolBar>(window, "toolBar");
    mainWindow->addToolBar(Qt::BottomToolBarArea, toolBar);
    auto *bar = Child<QMenuBar>(window, "menuBar");
    auto *menu = Child<QMenu>(window, "menuOrlo");
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(menu->menuAction()).center());
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, kExposeTimeoutMs) ||
        !QTest::qWaitForWindowExposed(menu, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the Instrument menu did not open"));
    menu->setActiveAction(disconnect);
    const bool ok = shooter.Capture(screen, ShownViews(window));
    menu->hide();
    mainWindow->addToolBar(Qt::TopToolBarArea, toolBar);
    return ok;
}

// The pre-scan locks the window and shows the progress box; the states come as the scanner would report them.
bool Prescanning(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_05_prescanning");
    CModel *model = shooter.Model();
    QWidget *window = shooter.MainWindow();
    if (model->GetOperationState() != CModel::StatusMainWindow)
        return ScreenFailed(screen + QStringLiteral(": the main window is not the program's status"));
    model->SetOrloStatus(kPrescanning);
    auto *progress = window->findChild<CVCProgressMessage *>();
    if (!progress || !progress->isVisible() || !QTest::qWaitForWindowExposed(progress, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the progress box is not shown"));
    // A window manager places the box over its window; Xvfb has none and leaves it in the screen's corner,
    // over the tool bar.
    progress->move(window->geometry().center() - progress->rect().center());
    if (Child<QToolBar>(window, "toolBar")->isEnabled())
        return ScreenFailed(screen + QStringLiteral(": the tool bar is not locked"));
    const bool ok = shooter.Capture(screen, ShownViews(window));
    model->SetOrloStatus(0);
    return ok;
}

bool CoverOpen(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_06_cover_open");
    CModel *model = shooter.Model();
    QWidget *window = shooter.MainWindow();
    model->SetOrloStatus(kCoverOpen);
    bool red = false;
    for (QLabel *label : Child<QStatusBar>(window, "statusBar")->findChildren<QLabel *>())
        red = red || (label->text() == CModel::GetOrloStatusText(kCoverOpen) &&
                      label->styleSheet().contains(QStringLiteral("red")));
    if (!red)
        return ScreenFailed(screen + QStringLiteral(": the status label is not red"));
    const bool ok = shooter.Capture(screen, ShownViews(window));
    model->SetOrloStatus(0);
    return ok;
}

QMenu *OpenPopup()
{
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

QMessageBox *OpenBox()
{
    return qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
}

// A box with another text than the screen expects fails the screen, and is closed so that nothing waits on it.
bool BoxSays(QWidget *box, const QString &text, const QString &screen)
{
    const QString shown = qobject_cast<QMessageBox *>(box)->text();
    if (shown.startsWith(text))
        return true;
    qobject_cast<QDialog *>(box)->reject();
    return ScreenFailed(screen + QStringLiteral(": a box says \"%1\"").arg(shown));
}

// Closes every open menu as Escape would, submenus first.
void CloseMenus()
{
    for (int i = 0; i < 4 && QApplication::activePopupWidget(); ++i)
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
}

QAction *MenuEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Chooses an entry of the open menu as a user would: highlighted, then Return.
bool ChooseEntry(QMenu *menu, const QString &text)
{
    QAction *entry = MenuEntry(menu, text);
    if (!entry || !entry->isEnabled())
        return false;
    menu->setActiveAction(entry);
    QTest::keyClick(menu, Qt::Key_Return);
    return true;
}

QTreeWidget *Designation(QWidget *window)
{
    return Child<QTreeWidget>(window, "treeDesignation");
}

// Charts and measurements are numbered apart: a chart is looked for at the top level, a measurement among its
// chart's children.
QTreeWidgetItem *ItemWithId(QTreeWidgetItem *parent, int id)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->data(0, Qt::UserRole).toInt() == id)
            return parent->child(i);
    }
    return nullptr;
}

QTreeWidgetItem *ItemWithId(QTreeWidget *tree, int id)
{
    return ItemWithId(tree->invisibleRootItem(), id);
}

// Right-click on the item: the tree asks its window for the context menu at the item's place.
void RequestMenu(QTreeWidgetItem *item)
{
    QTreeWidget *tree = item->treeWidget();
    emit tree->customContextMenuRequested(tree->visualItemRect(item).center());
}

bool Marked(const QTreeWidgetItem *item)
{
    return item && item->background(0).color() == QColor(239, 182, 197);
}

// The seeded documents, listed as the window lists them at a start. The right docks are dragged wide enough
// for the graph's wavelength labels.
bool Filled(ScreenShooter &shooter, SeededStore *ids)
{
    const QString screen = QStringLiteral("datalist_01_filled");
    CModel *model = shooter.Model();
    auto *window = qobject_cast<QMainWindow *>(shooter.MainWindow());
    if (!SeedStore(CModelAccess::DocumentData(*model), ids) || model->ReadAllDocuments() != 0)
        return ScreenFailed(screen + QStringLiteral(": the seeded documents were not read"));
    window->resizeDocks({Child<QDockWidget>(window, "dockSpectrumGraph")}, {kSpectrumGraphWidth}, Qt::Horizontal);

    QTreeWidget *designation = Designation(window);
    QTreeWidgetItem *chart = ItemWithId(designation, ids->qrChart);
    QTreeWidgetItem *complete = ItemWithId(chart, ids->completeMeasure);
    QTreeWidgetItem *incomplete = ItemWithId(chart, ids->incompleteMeasure);
    QTreeWidgetItem *empty = ItemWithId(Child<QTreeWidget>(window, "treeRecognition"), ids->emptyRecognition);
    if (!complete || !incomplete || !empty)
        return ScreenFailed(screen + QStringLiteral(": the seeded documents are not listed"));
    chart->setExpanded(true);
    // The complete measurement is shown; the marked items stay unselected, so that their colour shows.
    Pick(complete);
    if (!Marked(incomplete) || !Marked(empty) || Marked(complete))
        return ScreenFailed(screen + QStringLiteral(": the error colours are not where they belong"));
    return shooter.Capture(screen, ShownViews(window));
}

// The chart's context menu through the window's presenter, with its Measurement Area submenu open.
bool ChartMenu(ScreenShooter &shooter, const SeededStore &ids)
{
    const QString screen = QStringLiteral("datalist_02_chart_menu");
    QWidget *window = shooter.MainWindow();
    QTreeWidgetItem *chart = ItemWithId(Designation(window), ids.qrChart);
    Pick(chart);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenPopup, [&](QWidget *popup) {
        shown = true;
        auto *menu = qobject_cast<QMenu *>(popup);
        QAction *area = MenuEntry(menu, QStringLiteral("Measurement Area"));
        QMenu *submenu = area ? area->menu() : nullptr;
        if (!submenu) {
            ok = ScreenFailed(screen + QStringLiteral(": the chart menu has no Measurement Area"));
        } else {
            menu->setActiveAction(area);
            if (!QTest::qWaitFor([submenu] { return submenu->isVisible(); }, kExposeTimeoutMs) ||
                !QTest::qWaitForWindowExposed(submenu, kExposeTimeoutMs))
                ok = ScreenFailed(screen + QStringLiteral(": the Measurement Area submenu did not open"));
            else if (!MenuEntry(submenu, QStringLiteral("1x1"))->isChecked())
                ok = ScreenFailed(screen + QStringLiteral(": the chart's mode is not checked"));
            else
                ok = shooter.Capture(screen, ShownViews(window));
        }
        CloseMenus();
    });
    RequestMenu(chart);
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": no menu opened"));
}

// Edit Name from the chart's menu opens the editor on the name; Escape leaves the name as it was.
bool Rename(ScreenShooter &shooter, const SeededStore &ids)
{
    const QString screen = QStringLiteral("datalist_03_rename");
    QWidget *window = shooter.MainWindow();
    QTreeWidget *tree = Designation(window);
    QTreeWidgetItem *chart = ItemWithId(tree, ids.qrChart);
    const QString name = chart->text(0);
    Pick(chart);
    bool chosen = false;
    QObject guard;
    WhenShown(&guard, OpenPopup, [&](QWidget *popup) {
        chosen = ChooseEntry(qobject_cast<QMenu *>(popup), QStringLiteral("Edit Name"));
        CloseMenus();
    });
    RequestMenu(chart);
    if (!chosen)
        return ScreenFailed(screen + QStringLiteral(": Edit Name was not chosen"));
    auto *editor = tree->viewport()->findChild<QLineEdit *>();
    if (!editor || !QTest::qWaitFor([editor] { return editor->isVisible(); }, kExposeTimeoutMs) ||
        editor->text() != name)
        return ScreenFailed(screen + QStringLiteral(": no editor on the chart's name"));
    // A name being typed shows the editor for what it is; Escape drops it.
    editor->setFocus();
    editor->end(false);
    QTest::keyClicks(editor, QStringLiteral(" 2"));
    const bool ok = shooter.Capture(screen, ShownViews(window));
    QTest::keyClick(editor, Qt::Key_Escape);
    if (chart->text(0) != name)
        return ScreenFailed(screen + QStringLiteral(": the name changed"));
    return ok;
}

// A check on the chart of 101 pages: the window refuses the job with its warning and unchecks the chart.
bool PageWarning(ScreenShooter &shooter, const SeededStore &ids)
{
    const QString screen = QStringLiteral("datalist_04_page_warning");
    QWidget *window = shooter.MainWindow();
    QTreeWidgetItem *chart = ItemWithId(Designation(window), ids.big101);
    Designation(window)->scrollToItem(chart);
    bool ok = false;
    bool shown = false;
    QObject guard;
    WhenShown(&guard, OpenBox, [&](QWidget *box) {
        shown = true;
        // The shot is taken here rather than by ShootShownDialog: the chart just selected behind the box is
        // waited for too.
        ok = ShootShownDialog(shooter, qobject_cast<QDialog *>(box), QString(), [&](QDialog *) {
            if (!qobject_cast<QMessageBox *>(box)->text().contains(QStringLiteral("less than 100 pages")))
                return ScreenFailed(screen + QStringLiteral(": the box does not warn of 100 pages"));
            return shooter.Capture(screen, ShownViews(window));
        });
    });
    chart->setCheckState(0, Qt::Checked);
    if (!shown)
        return ScreenFailed(screen + QStringLiteral(": no warning"));
    if (chart->checkState(0) != Qt::Unchecked)
        return ScreenFailed(screen + QStringLiteral(": the chart stayed checked"));
    return ok;
}

// A choice of the Measurement Settings tree: the current row opens its combo, shown with its list open.
bool SettingsCombo(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("datalist_05_settings_combo");
    QWidget *window = shooter.MainWindow();
    Child<QDockWidget>(window, "dockMeasureSetting")->raise();
    auto *tree = Child<QTreeWidget>(window, "treeMeasureSetting");
    QTreeWidgetItem *illuminant = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it && !illuminant; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == kEditorIlluminant)
            illuminant = *it;
    }
    if (!illuminant)
        return ScreenFailed(screen + QStringLiteral(": no Illuminant row"));
    tree->setCurrentItem(illuminant);
    tree->scrollToItem(illuminant);
    auto *combo = qobject_cast<QComboBox *>(tree->itemWidget(illuminant, 1));
    if (!combo)
        return ScreenFailed(screen + QStringLiteral(": the row opened no combo"));
    combo->showPopup();
    QWidget *list = combo->view()->window();
    bool ok = (QTest::qWaitFor([list] { return list->isVisible(); }, kExposeTimeoutMs) &&
               QTest::qWaitForWindowExposed(list, kExposeTimeoutMs)) ||
              ScreenFailed(screen + QStringLiteral(": the combo's list did not open"));
    ok = ok && shooter.Capture(screen, ShownViews(window));
    combo->hidePopup();
    // Leaving the row closes its combo, with the choice unchanged. The tree deletes the combo later, which the
    // event loops of the next screen's menus and boxes do not reach: until then it is hidden here.
    tree->setCurrentItem(nullptr);
    if (tree->itemWidget(illuminant, 1))
        return ScreenFailed(screen + QStringLiteral(": the combo stayed open"));
    combo->hide();
    // The row gives back the height the combo took.
    tree->doItemsLayout();
    return ok;
}

// Delete on a chart that has measurements: confirmed, then refused with the window's message.
bool DeleteRefused(ScreenShooter &shooter, const SeededStore &ids)
{
    const QString screen = QStringLiteral("datalist_06_delete_refused");
    QWidget *window = shooter.MainWindow();
    QTreeWidget *tree = Designation(window);
    QTreeWidgetItem *chart = ItemWithId(tree, ids.qrChart);
    const int children = chart->childCount();
    Pick(chart);
    bool chosen = false;
    bool confirmed = false;
    bool refused = false;
    bool ok = false;
    QObject guard;
    // Each step looks for the next box before it acts: the box opens inside the action.
    const auto refusal = [&](QWidget *box) {
        refused = BoxSays(box, QStringLiteral("Cannot delete, because measurement data exist."), screen);
        ok = refused && ShootShownDialog(shooter, qobject_cast<QDialog *>(box), screen);
    };
    const auto question = [&](QWidget *box) {
        confirmed = BoxSays(box, QStringLiteral("Do you want to delete selected data?"), screen);
        if (confirmed) {
            WhenShown(&guard, OpenBox, refusal);
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
        }
    };
    WhenShown(&guard, OpenPopup, [&](QWidget *popup) {
        WhenShown(&guard, OpenBox, question);
        chosen = ChooseEntry(qobject_cast<QMenu *>(popup), QStringLiteral("Delete"));
        CloseMenus();
    });
    RequestMenu(chart);
    if (!chosen || !confirmed || !refused)
        return ScreenFailed(screen + QStringLiteral(": the menu, the question or the refusal did not show"));
    if (ItemWithId(tree, ids.qrChart) != chart || chart->childCount() != children)
        return ScreenFailed(screen + QStringLiteral(": something was deleted"));
    return ok;
}

bool DataList(ScreenShooter &shooter)
{
    SeededStore ids;
    return Filled(shooter, &ids) && ChartMenu(shooter, ids) && Rename(shooter, ids) && PageWarning(shooter, ids) &&
           SettingsCombo(shooter) && DeleteRefused(shooter, ids);
}

// The second window shows what the first one stored at its close.
bool ShootRestored(ScreenShooter &shooter, CVCMainWindow *second, const QSize &size, const QString &screen)
{
    if (second->RestoreWindowState() != 0)
        return ScreenFailed(screen + QStringLiteral(": the documents were not read"));
    second->show();
    if (!QTest::qWaitForWindowExposed(second, kExposeTimeoutMs))
        return ScreenFailed(screen + QStringLiteral(": the second window is not exposed"));
    if (Child<QStatusBar>(second, "statusBar")->isVisible())
        return ScreenFailed(screen + QStringLiteral(": the status bar is back"));
    if (second->size() != size)
        return ScreenFailed(screen + QStringLiteral(": the window's size is not restored"));
    auto *setting = Child<QDockWidget>(second, "dockMeasureSetting");
    auto *measureData = Child<QDockWidget>(second, "dockMeasureData");
    auto *spectrum = Child<QDockWidget>(second, "dockSpectrumGraph");
    if (second->dockWidgetArea(setting) != Qt::LeftDockWidgetArea ||
        !second->tabifiedDockWidgets(spectrum).contains(measureData))
        return ScreenFailed(screen + QStringLiteral(": the docks are not where they were left"));
    // Qt moves a window restored at the screen's top edge down by the title bar Xvfb does not draw: the shot
    // puts it where the first one was.
    return shooter.Show(second) && shooter.Capture(screen, ShownViews(second));
}

// A restart within the one program start: the window is left as a user might leave it and closed, which
// stores its state, and a second window on the same model restores it.
bool Restored(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("frame_07_restored");
    auto *first = qobject_cast<QMainWindow *>(shooter.MainWindow());
    Child<QAction>(first, "actionViewStatusBar")->trigger();
    first->splitDockWidget(Child<QDockWidget>(first, "dockDataList"),
                           Child<QDockWidget>(first, "dockMeasureSetting"), Qt::Vertical);
    first->tabifyDockWidget(Child<QDockWidget>(first, "dockMeasureData"),
                            Child<QDockWidget>(first, "dockSpectrumGraph"));
    if (Child<QStatusBar>(first, "statusBar")->isVisible())
        return ScreenFailed(screen + QStringLiteral(": View > Status Bar did not hide the status bar"));

    // The closed window is the only one on screen: its close must not end the program.
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    bool ok = first->close() || ScreenFailed(screen + QStringLiteral(": the window refused to close"));
    if (ok) {
        CVCMainWindow second(shooter.Model());
        ok = ShootRestored(shooter, &second, first->size(), screen);
        second.close();
    }
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
    return ok;
}

const ScreenEntry kEntry("mainwindow_frame", kStepArguments, Splash, [](ScreenShooter &shooter) {
    return FirstShow(shooter) && About(shooter) && Connected(shooter) && Prescanning(shooter) &&
           CoverOpen(shooter) && DataList(shooter) && Restored(shooter);
});

} // namespace
