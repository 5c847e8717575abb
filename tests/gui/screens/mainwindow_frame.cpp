// The main window's frame over the program's own model: the splash while the program starts, the first show,
// About, the simulated scanner connected, pre-scanning and an open cover, and the window as a second one finds
// it after the first was closed.
#include "screenshooter.h"

#include "app/model.h"
#include "app/startup.h"
#include "chart/vcgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcprogressmessage.h"
#include "mainwindow/vcstartupscreen.h"
#include "mainwindow/vcversion.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

namespace {

constexpr int kExposeTimeoutMs = 10000;
constexpr int kPrescanning = 5;
constexpr int kCoverOpen = 10;

template <typename T>
T *Child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// The views on screen: a shot waits until each of them has painted.
QList<CVCGraphicsView *> ShownViews(QWidget *window)
{
    QList<CVCGraphicsView *> views;
    for (CVCGraphicsView *view : window->findChildren<CVCGraphicsView *>()) {
        if (view->isVisible())
            views << view;
    }
    return views;
}

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
           CoverOpen(shooter) && Restored(shooter);
});

} // namespace
