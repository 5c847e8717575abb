#pragma once
// Checks the chart scanner against the 14 reference tiles: measures them, judges five colour differences per tile
// against the stored standard values and tolerances, keeps the last 100 inspections and writes one as a report.

#include "chart/vcdialog.h"

#include "app/constants.h"
#include "app/diagnosedata.h"

#include <memory>
#include <vector>

class CModel;
class CVCInstrumentStandardValueSetting;
class CVCInstrumentTileMeasurement;
class CVCInstrumentToleranceSetting;

namespace Ui {
class InstrumentTestDialog;
}

class CVCInstrumentTest : public CVCDialog
{
    Q_OBJECT
public:
    static constexpr int kHistoryLimit = 100;
    static constexpr int kFileError = 5001;

    CVCInstrumentTest(CModel *model, QWidget *parent);
    ~CVCInstrumentTest() override;

    // Writes history entry row as a report into a file the user picks: 0 when written or cancelled, 5001 when
    // it cannot be written (reported with message 2).
    int ExportResult(int row);

    // Where the default tolerances are read from, here and in the tolerance dialog; empty means the program's
    // folder.
    void SetDefaultsFolder(const QString &folder);

signals:
    void closeInstrumentTest();

public slots:
    void done(int result) override;
    int exec() override;
    void pushStandardValueSettingClicked();
    void pushToleranceSettingClicked();
    void pushResultExportClicked();
    void pushInspectionClicked();
    void tableVerificationHistoryCurrentCellChanged(int currentRow, int currentColumn, int previousRow,
                                                    int previousColumn);

private:
    void SetUpTables();
    void SetUpHistoryTable();
    void SetUpInfoTables();
    void SetUpResultTable();
    void ReadStandardValues();
    void ReadToleranceValues();
    void ShowStandardValues();
    void LoadHistory();
    void FillHistoryTable();
    void ShowEntry(int row);
    void AddHistoryEntry(int judgement);
    int SaveHistory();
    bool StandardsComplete() const;
    bool TolerancesComplete() const;

    std::unique_ptr<Ui::InstrumentTestDialog> ui;
    CModel *m_model;
    CVCInstrumentTileMeasurement *m_tileMeasurement;
    CVCInstrumentStandardValueSetting *m_standardValueSetting;
    CVCInstrumentToleranceSetting *m_toleranceSetting;
    QString m_defaultsFolder;

    TileResultRecord m_results[kTileCount] = {};
    ToleranceRecord m_workingTolerances[kColourDifferenceKindCount] = {};
    // Copies of what the store held when last read: the store's arrays may move when a sub-dialog writes.
    std::vector<StandardValueRecord> m_standards;
    std::vector<ToleranceRecord> m_tolerances;
    std::vector<DiagnoseHistoryRecord> m_history;
};
