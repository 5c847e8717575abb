#pragma once
// Edits the standard values of the 14 reference tiles: measured on the scanner or read from a file.

#include "app/diagnosedata.h"
#include "chart/vcdialog.h"

#include <memory>

class CModel;
class CVCInstrumentTileMeasurement;

namespace Ui {
class InstrumentStandardValueSettingDialog;
}

class CVCInstrumentStandardValueSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCInstrumentStandardValueSetting(CModel *model, QWidget *parent);
    ~CVCInstrumentStandardValueSetting() override;

public slots:
    // 1 after the values were stored, 0 when cancelled.
    int exec() override;
    void pushOKClicked();
    void pushExportClicked();
    void pushImportClicked();
    void pushMeasurementClicked();

private:
    void Initialize();
    void SetButtonBox();
    void BuildTable();
    void ShowValues();
    // Reports the first cell that is not a finite number; false then.
    bool CheckTable();
    void ReadTable();

    std::unique_ptr<Ui::InstrumentStandardValueSettingDialog> ui;
    CModel *m_model;
    CVCInstrumentTileMeasurement *m_tileMeasurement;
    StandardValueRecord m_values[kTileCount] = {};
    TileSetInfo m_info;
};
