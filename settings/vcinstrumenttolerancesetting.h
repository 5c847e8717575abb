#pragma once
// Edits the per-tile tolerances of the five colour-difference kinds and which kinds are judged.

#include "app/records.h"
#include "chart/vcdialog.h"

#include <memory>

class CModel;

namespace Ui {
class InstrumentToleranceSettingDialog;
}

class CVCInstrumentToleranceSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCInstrumentToleranceSetting(CModel *model, QWidget *parent);
    ~CVCInstrumentToleranceSetting() override;

    // Where "Set Default Value" reads the shipped defaults; empty (the default) means the program's folder.
    void SetDefaultsFolder(const QString &folder);

public slots:
    // 1 after the tolerances were stored, 0 when cancelled.
    int exec() override;
    void pushOKClicked();
    void pushSetDefaultValueClicked();

private:
    void Initialize();
    void SetButtonBox();
    void BuildTable();
    void FillTable();
    bool CheckTable();
    void ReadBackTable();

    std::unique_ptr<Ui::InstrumentToleranceSettingDialog> ui;
    CModel *m_model;
    QString m_defaultsFolder;
    ToleranceRecord m_records[kDefaultToleranceRowCount] = {};
};
