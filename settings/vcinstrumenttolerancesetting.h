#pragma once
// Edits the per-tile tolerances of the five colour-difference kinds and which kinds are judged.

#include "chart/vcdialog.h"

class CModel;

class CVCInstrumentToleranceSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCInstrumentToleranceSetting(CModel *model, QWidget *parent);
    ~CVCInstrumentToleranceSetting() override;

public slots:
    // 1 after the tolerances were stored, 0 when cancelled.
    int exec() override;

private:
    CModel *m_model;
};
