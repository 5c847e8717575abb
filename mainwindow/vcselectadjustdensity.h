#pragma once
// Asks for the template (printer and adjustment item) and the instrument the density-balance window works with.

#include "chart/vcdialog.h"

#include <memory>

class CModel;
class QListWidgetItem;

namespace Ui {
class SelectAdjustDensity;
}

class CVCSelectAdjustDensity : public CVCDialog
{
    Q_OBJECT
public:
    CVCSelectAdjustDensity(CModel *model, QWidget *parent);
    ~CVCSelectAdjustDensity() override;

    // The template row (-1 when none is current), the chosen instrument's number (-1 when none) and the title
    // "<template> : <instrument>".
    int GetTemplateRow() const;
    int GetInstrumentNumber() const;
    QString GetSelectionTitle() const;

public slots:
    // Lists the templates anew, makes the first one current, then runs the modal loop.
    int exec() override;
    void listTemplateCurrentRowChanged(int currentRow);
    void listTemplateItemPressed();
    void listInstrumentItemPressed();

private:
    void CreateButtonBox();

    CModel *m_model;
    std::unique_ptr<Ui::SelectAdjustDensity> ui;
};
