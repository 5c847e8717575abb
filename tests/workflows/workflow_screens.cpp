// The workflow runs as entries of the screenshot driver: the same steps as the QTest flow, with the simulators in
// their program mode and a picture of the whole screen at every shot.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "chart/vcgraphicsview.h"
#include "screenshooter.h"

#include <QApplication>

namespace {

// The views on screen, so that a shot waits until each has painted its latest state.
QList<CVCGraphicsView *> VisibleViews()
{
    QList<CVCGraphicsView *> views;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        for (CVCGraphicsView *view : top->findChildren<CVCGraphicsView *>()) {
            if (view->isVisible())
                views << view;
        }
    }
    return views;
}

bool Play(const char *name, void (*runFunction)(WorkflowRun &), const QString &outDir, bool dryRun)
{
    ScreenShooter shooter(nullptr, nullptr, outDir, dryRun);
    WorkflowRun run(QString::fromLatin1(name),
                    [&shooter](const QString &screen) { return shooter.Capture(screen, VisibleViews()); }, outDir);
    runFunction(run);
    return !run.Failed() || ScreenFailed(run.Failure());
}

#define WORKFLOW_ENTRY(run, function)                                                                                  \
    const ProgramEntry run##Entry("workflows_" #run,                                                                   \
                                  [](const QString &outDir, bool dryRun) { return Play(#run, function, outDir, dryRun); })

WORKFLOW_ENTRY(startup, RunStartup);
WORKFLOW_ENTRY(charts, RunCharts);
WORKFLOW_ENTRY(freeform, RunFreeform);
WORKFLOW_ENTRY(settings, RunSettings);
WORKFLOW_ENTRY(density, RunDensity);
WORKFLOW_ENTRY(handheld, RunHandheld);

} // namespace
