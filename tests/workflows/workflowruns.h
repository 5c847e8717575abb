#pragma once
// The user's workflows, one function each over a WorkflowRun: the QTest flow and the screenshot entries play the
// same steps. A run fails through run.Fail (the WF_ macros); it never calls QTest's own checks.

class WorkflowRun;

void RunStartup(WorkflowRun &run);
void RunCharts(WorkflowRun &run);
void RunFreeform(WorkflowRun &run);
void RunSettings(WorkflowRun &run);
void RunDensity(WorkflowRun &run);
void RunHandheld(WorkflowRun &run);
