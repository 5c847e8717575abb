#pragma once
// Where a density measurement's result goes: one of up to five remembered folders, or one of up to five
// remembered printers (written to a local file, uploaded, then removed). Also edits those lists and the
// automatic-transmission choice. The caller stores the record; the dialog never does.

#include "app/settingrecords.h"
#include "chart/vcdialog.h"

#include <memory>

class CModel;

class CVCMeasureDataSave : public CVCDialog
{
    Q_OBJECT
public:
    CVCMeasureDataSave(CModel *model, QWidget *parent = nullptr);
    ~CVCMeasureDataSave() override;

    // Save mode: Save writes the measurement's file into the chosen folder or uploads it to the chosen printer.
    void Prepare(const QString &dateText, int measureKind, int templateSecondNumber, int templateFirstNumber,
                 int instrumentNumber);
    // Setting mode: OK only keeps the choices.
    void PrepareSetting();
    void SetPrintID(const QString &printId);
    void SetAddFileName(const QString &name);
    void SelectPrinterByAddress(const QString &address);
    const Setting::MeasureDataSave &GetMeasureDataSave() const { return m_record; }

public slots:
    void done(int r) override;

private:
    CModel *m_model;
    Setting::MeasureDataSave m_record;
};
