#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

bool CVCAdjustDensity::OpenAdjustDensity() { return false; }
void CVCAdjustDensity::DisplayMeasureDataSave(bool) {}
void CVCAdjustDensity::MeasureDataPrinterSave(const QString &, const QString &) {}
void CVCAdjustDensity::measureDataPrinterSaveFinished(int, int, const QString &) {}
void CVCAdjustDensity::StartUpload(const QString &, const QString &, const QString &, const QString &) {}
