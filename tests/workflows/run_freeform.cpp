#include "workflowruns.h"
#include "workflowsteps.h"

void RunFreeform(WorkflowRun &run)
{
    run.Fail(QStringLiteral("not written yet"));
}
