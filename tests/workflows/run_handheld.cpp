#include "workflowruns.h"
#include "workflowsteps.h"

void RunHandheld(WorkflowRun &run)
{
    run.Fail(QStringLiteral("not written yet"));
}
