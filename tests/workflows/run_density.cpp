#include "workflowruns.h"
#include "workflowsteps.h"

void RunDensity(WorkflowRun &run)
{
    run.Fail(QStringLiteral("not written yet"));
}
