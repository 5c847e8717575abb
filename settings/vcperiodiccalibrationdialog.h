#pragma once
// Tells the user that the chart scanner is due for periodic calibration. The reminder stays silent until the
// stored next reminder time; OK postpones it by the chosen number of days.

#include "chart/vcdialog.h"

#include <memory>

class CModel;

namespace Ui {
class PeriodicCalibrationDialog;
}

class CVCPeriodicCalibrationDialog : public CVCDialog
{
    Q_OBJECT
public:
    CVCPeriodicCalibrationDialog(CModel *model, QWidget *parent);
    ~CVCPeriodicCalibrationDialog() override;

public slots:
    // 0 at once, showing nothing, while the stored reminder time lies ahead; otherwise the modal result.
    int exec() override;
    void pushOKClicked();

private:
    void SetButtonBox();

    std::unique_ptr<Ui::PeriodicCalibrationDialog> ui;
    CModel *m_model;
};
