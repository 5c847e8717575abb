#include "workflowruns.h"
#include "workflowsteps.h"

void RunCharts(WorkflowRun &run)
{
    run.Fail(QStringLiteral("not written yet"));
}
