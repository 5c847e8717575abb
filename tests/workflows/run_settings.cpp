#include "workflowruns.h"
#include "workflowsteps.h"

void RunSettings(WorkflowRun &run)
{
    run.Fail(QStringLiteral("not written yet"));
}
