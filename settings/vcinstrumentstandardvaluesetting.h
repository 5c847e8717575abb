#pragma once
// Edits the standard values of the 14 reference tiles: measured on the scanner or read from a file.

#include "chart/vcdialog.h"

class CModel;

class CVCInstrumentStandardValueSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCInstrumentStandardValueSetting(CModel *model, QWidget *parent);
    ~CVCInstrumentStandardValueSetting() override;

public slots:
    // 1 after the values were stored, 0 when cancelled.
    int exec() override;

private:
    CModel *m_model;
};
