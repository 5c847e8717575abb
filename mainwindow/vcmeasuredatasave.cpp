#include "mainwindow/vcmeasuredatasave.h"

CVCMeasureDataSave::CVCMeasureDataSave(CModel *model, QWidget *parent) : CVCDialog(parent), m_model(model) {}
CVCMeasureDataSave::~CVCMeasureDataSave() = default;
void CVCMeasureDataSave::Prepare(const QString &, int, int, int, int) {}
void CVCMeasureDataSave::PrepareSetting() {}
void CVCMeasureDataSave::SetPrintID(const QString &) {}
void CVCMeasureDataSave::SetAddFileName(const QString &) {}
void CVCMeasureDataSave::SelectPrinterByAddress(const QString &) {}
void CVCMeasureDataSave::done(int r) { CVCDialog::done(r); }
