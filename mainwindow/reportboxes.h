#pragma once
// The boxes both measuring windows show for the model's error reports and chart-matching warnings.

#include "app/widgets/uipresenter.h"

class CModel;
class QWidget;

// The box of a reported message: its record (an unknown number gives message 61); pre-scanning failed (23) and
// chart too long (35) show the recognition error's text and advice instead.
RecordBox ReportedErrorBox(CModel *model, int message);

// The layout-mismatch question: "Measurement" starts the measurement with the chart's diameter and the
// position-gap flag, Cancel stops the run, any other close does nothing. True when the measurement started.
bool RunMatchingWarning(QWidget *parent, CModel *model, int code);
