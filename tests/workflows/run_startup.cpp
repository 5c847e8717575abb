// Start-up, the shell and the window state kept from one start to the next; in the screenshot entry also a second
// program start, which hands over to the first.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "mainwindow/vcmainwindow.h"
#include "qtsingleapplication.h"

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>

namespace {

template <typename T>
T *Named(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// What the next start has to bring back.
struct WindowLayout {
    QSize size;
    bool statusBar = true;
    QMap<QString, int> areas; // dock name -> area
    QStringList tabbedWithSettings;
};

WindowLayout LayoutOf(QMainWindow *window)
{
    WindowLayout layout;
    layout.size = window->size();
    layout.statusBar = window->statusBar()->isVisible();
    for (QDockWidget *dock : window->findChildren<QDockWidget *>())
        layout.areas.insert(dock->objectName(), window->dockWidgetArea(dock));
    for (QDockWidget *dock : window->tabifiedDockWidgets(Named<QDockWidget>(window, "dockMeasureSetting")))
        layout.tabbedWithSettings << dock->objectName();
    return layout;
}

QString ExitProblem(int code)
{
    return code == 0 ? QString() : QStringLiteral("exit code %1").arg(code);
}

// The program started again by the user while this one runs: it must hand over and end within 10 s, and this
// window come to the front.
QString StartSecondProgram(WorkflowRun &run, CVCMainWindow *window)
{
    auto *app = qobject_cast<QtSingleApplication *>(qApp);
    if (!app)
        return QStringLiteral("no single-instance application");
    QSignalSpy handedOver(app, &QtSingleApplication::messageReceived);
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Varemo"), QStringList());
    if (!second.waitForStarted(10000))
        return QStringLiteral("the second program did not start");
    QElapsedTimer clock;
    clock.start();
    const bool ended = run.WaitFor([&second] { return second.state() == QProcess::NotRunning; });
    if (!ended || clock.elapsed() > 10000) {
        second.kill();
        second.waitForFinished();
        return QStringLiteral("the second program ran for more than 10 s");
    }
    if (second.exitStatus() != QProcess::NormalExit || second.exitCode() != 0)
        return QStringLiteral("the second program ended with %1").arg(second.exitCode());
    if (!run.WaitFor([&] { return !handedOver.isEmpty() && window->isVisible() && window->isActiveWindow(); }))
        return QStringLiteral("the first window was not raised");
    return QString();
}

} // namespace

void RunStartup(WorkflowRun &run)
{
    WindowLayout left;
    run.ShootSplashAs(QStringLiteral("startup_01_splash"));
    const int first = run.Start([&](CVCMainWindow *window) {
        run.Step(QStringLiteral("splash"));
        WF_VERIFY(run, run.SplashSeen().shown);
        WF_VERIFY(run, run.SplashSeen().windowHidden);

        run.Step(QStringLiteral("main window"));
        WF_VERIFY(run, window->isVisible());
        WF_VERIFY(run, window->windowTitle() == QLatin1String("Measurement Utility Software Varemo"));
        QTreeWidgetItem *current = Named<QTreeWidget>(window, "treeRecognition")->currentItem();
        WF_VERIFY(run, current && current->text(0) == QLatin1String("<Freeform Chart>"));

        run.Step(QStringLiteral("about"));
        bool stayedOnReturn = false;
        QString title;
        ModalAnswer about([&](QWidget *dialog) {
            title = dialog->windowTitle();
            QTest::keyClick(dialog, Qt::Key_Return);
            stayedOnReturn = dialog->isVisible();
            if (auto *close = Named<QPushButton>(dialog, "cancelButton"))
                QTest::mouseClick(close, Qt::LeftButton);
        });
        WF_DO(run, TriggerMenu(window, QStringLiteral("Help"), QStringLiteral("About")));
        WF_DO(run, about.Problem());
        WF_VERIFY(run, title == QLatin1String("About"));
        WF_VERIFY(run, stayedOnReturn);
        WF_VERIFY(run, !QApplication::activeModalWidget());

        run.Step(QStringLiteral("status bar off"));
        QAction *statusAction = Named<QAction>(window, "actionViewStatusBar");
        WF_VERIFY(run, statusAction->isChecked() && window->statusBar()->isVisible());
        WF_DO(run, TriggerMenu(window, QStringLiteral("View"), QStringLiteral("Status bar")));
        WF_VERIFY(run, !statusAction->isChecked());
        WF_VERIFY(run, !window->statusBar()->isVisible());

        run.Step(QStringLiteral("docks tabbed"));
        auto *settings = Named<QDockWidget>(window, "dockMeasureSetting");
        auto *data = Named<QDockWidget>(window, "dockMeasureData");
        WF_DO(run, DragDockOnto(window, data, settings));
        WF_VERIFY(run, Named<QAction>(window, "actionViewMeasureSetting")->isChecked());
        WF_VERIFY(run, Named<QAction>(window, "actionViewMeasureData")->isChecked());

        run.Step(QStringLiteral("exit"));
        left = LayoutOf(window);
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
        WF_VERIFY(run, !window->isVisible());
    });
    run.Step(QStringLiteral("first start"));
    WF_VERIFY(run, run.WalkRan());
    WF_DO(run, ExitProblem(first));
    WF_VERIFY(run, left.tabbedWithSettings == QStringList{QStringLiteral("dockMeasureData")});

    WindowLayout restored;
    bool actionsChecked = false;
    const int second = run.Start([&](CVCMainWindow *window) {
        run.Step(QStringLiteral("restored"));
        restored = LayoutOf(window);
        actionsChecked = Named<QAction>(window, "actionViewMeasureSetting")->isChecked() &&
                         Named<QAction>(window, "actionViewMeasureData")->isChecked();
        WF_DO(run, run.Shoot(QStringLiteral("startup_02_restored")));
        if (run.ProgramMode()) {
            run.Step(QStringLiteral("second program"));
            WF_DO(run, StartSecondProgram(run, window));
            WF_DO(run, run.Shoot(QStringLiteral("startup_03_raised")));
        }
        run.Step(QStringLiteral("exit again"));
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("second start"));
    WF_VERIFY(run, run.WalkRan());
    WF_DO(run, ExitProblem(second));
    run.Step(QStringLiteral("restored"));
    // Without a window manager the position moves by the missing frame; the size is what was left.
    WF_VERIFY(run, restored.size == left.size);
    WF_VERIFY(run, !restored.statusBar);
    WF_VERIFY(run, restored.areas == left.areas);
    WF_VERIFY(run, restored.tabbedWithSettings == left.tabbedWithSettings);
    WF_VERIFY(run, actionsChecked);
}
