#pragma once
// The message box a window shows for a model error report.

class CModel;
class QWidget;

// Shows message `message` of table 1 over the window when it is visible (23 and 35 with their recognition-error
// advice), then acknowledges the report in every case so the model never waits on a window that shows nothing.
void ShowReportedError(QWidget *window, CModel *model, int message);
// The chart-matching warning of table 2.
void ShowMatchingWarning(QWidget *window, int code);
