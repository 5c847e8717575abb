#pragma once
// Asks for the rows and columns of new measurement points in the one region marked on a captured page. It
// proposes what fits at the smallest patch size and keeps rows x columns within what one area can hold.

#include "chart/vcdialog.h"

#include <QRect>

#include <memory>

class CModel;

namespace Ui {
class AddMeasurePointDialog;
}

class CVCAddMeasurePoint : public CVCDialog
{
    Q_OBJECT
public:
    // region: {left, top, right, bottom} in 0.01 mm, right = left + width - 1.
    CVCAddMeasurePoint(QWidget *parent, CModel *model, const QRect &region);
    ~CVCAddMeasurePoint() override;

    int GetRowCount() const;
    int GetColumnCount() const;

signals:
    void okButtonEnable(bool enable);

public slots:
    void valueChangedSpinRow(int value);
    void valueChangedSpinColumn(int value);

private:
    std::unique_ptr<Ui::AddMeasurePointDialog> ui;
    CModel *m_model;
    QRect m_region;
};
