#pragma once
// Measures the 14 reference tiles on the chart scanner, in two strips of seven.

#include "chart/vcdialog.h"

struct TileResultRecord;
class CModel;

class CVCInstrumentTileMeasurement : public CVCDialog
{
    Q_OBJECT
public:
    CVCInstrumentTileMeasurement(CModel *model, QWidget *parent);
    ~CVCInstrumentTileMeasurement() override;

    // The 14 results of the last successful measurement, in tile order; owned by the dialog.
    TileResultRecord *GetTileResults();

public slots:
    // 1 after both strips were measured, 0 when cancelled.
    int exec() override;

private:
    CModel *m_model;
    TileResultRecord *m_results;
};
