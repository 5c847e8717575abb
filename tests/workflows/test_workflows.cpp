// The user's workflows through the real program, offscreen, with the simulators in manual delivery: one test
// function per run, each in a fresh HOME.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "tests/gui/programfixture.h"

#include <QMainWindow>

#include <functional>

namespace {

void Play(const char *name, const std::function<void(WorkflowRun &)> &runFunction)
{
    WorkflowRun run(QString::fromLatin1(name));
    runFunction(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));
}

} // namespace

class TestWorkflows : public QObject
{
    Q_OBJECT

private slots:
    void startup() { Play("startup", RunStartup); }
    void charts() { Play("charts", RunCharts); }
    void freeform() { Play("freeform", RunFreeform); }
    void settings() { Play("settings", RunSettings); }
    void density() { Play("density", RunDensity); }
    void handheld() { Play("handheld", RunHandheld); }
};

VAREMO_PROGRAM_TEST_MAIN(TestWorkflows)
#include "test_workflows.moc"
